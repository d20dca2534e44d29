#include "gui/tfrexecqry.h"

#include "core/session.h"
#include "db/execqry.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace tivra::gui {

// A query's result shown read-only, one column per result column.
class ResultTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(ResultTable table)
    {
        beginResetModel();
        m_table = std::move(table);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_table.count(); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_table.columnCount(); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        return ResultTable::toText(m_table.rows()[size_t(index.row())].at(index.column()));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section < m_table.columnCount())
            return m_table.columns().at(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    ResultTable m_table;
};

TfrExecQry::TfrExecQry(InstallerSession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("TfrExecQry"));
    setWindowTitle(QStringLiteral("Executar SQL"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Banco"), this));
    m_aliases = new QComboBox(this);
    m_aliases->setObjectName(QStringLiteral("cbBanco"));
    m_aliases->setEditable(false);
    m_aliases->setMinimumWidth(200);
    top->addWidget(m_aliases);
    m_execute = new QPushButton(QStringLiteral("Executar"), this);
    m_execute->setObjectName(QStringLiteral("btExecutar"));
    top->addWidget(m_execute);
    m_select = new QCheckBox(QStringLiteral("Select"), this);
    m_select->setObjectName(QStringLiteral("cbSelect"));
    top->addWidget(m_select);
    top->addStretch();
    layout->addLayout(top);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("mSQL"));
    layout->addWidget(m_text, 1);
    m_model = new ResultTableModel(this);
    m_result = new QTableView(this);
    m_result->setObjectName(QStringLiteral("qgResultado"));
    m_result->setModel(m_model);
    m_result->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_result, 1);
    resize(720, 520);
    connect(m_execute, &QPushButton::clicked, this, &TfrExecQry::btExecutarClick);
}

void TfrExecQry::showEvent(QShowEvent *event)
{
    m_aliases->clear();
    m_text->clear();
    m_model->setTable({});
    m_select->setChecked(false);
    m_aliases->addItems(ExecQryAliases(m_session));
    m_aliases->setCurrentIndex(m_aliases->count() > 0 ? 0 : -1);
    m_execute->setEnabled(m_aliases->count() > 0);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TfrExecQry::btExecutarClick()
{
    ExecQryOutcome outcome = ExecQryExecutar(m_session, m_aliases->currentText(), m_text->toPlainText(), m_select->isChecked());
    if (outcome.kind == ExecQryOutcome::Rows && outcome.rows)
        m_model->setTable(std::move(*outcome.rows));
}

}  // namespace tivra::gui
