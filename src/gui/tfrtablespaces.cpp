#include "gui/tfrtablespaces.h"

#include "core/session.h"
#include "db/tablespaces.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tivra::gui {

namespace {

// "TableSpace Destino": a drop-down of the row's database tablespaces that opens at once; the
// choice goes through SetTableSpaceChoice (KEY_LOOKUP and the derived TS_NEW).
class TableSpaceDelegate : public QStyledItemDelegate {
public:
    TableSpaceDelegate(InstallerSession &session, QObject *parent) : QStyledItemDelegate(parent), m_session(session) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("cbTsNew"));
        const QString alias = m_session.cdsTS.text(index.row(), QStringLiteral("ALIAS"));
        for (const auto &[key, name] : tableSpacesOf(m_session, alias))
            combo->addItem(name, key);
        QTimer::singleShot(0, combo, [combo]() { combo->showPopup(); });
        return combo;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = static_cast<QComboBox *>(editor);
        const int at = combo->findData(m_session.cdsTS.integer(index.row(), QStringLiteral("KEY_LOOKUP")));
        combo->setCurrentIndex(m_session.cdsTS.isNull(index.row(), QStringLiteral("KEY_LOOKUP")) ? -1 : at);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        auto *combo = static_cast<QComboBox *>(editor);
        if (combo->currentIndex() >= 0)
            SetTableSpaceChoice(m_session, index.row(), combo->currentData().toLongLong());
    }

private:
    InstallerSession &m_session;
};

}  // namespace

TfrTableSpaces::TfrTableSpaces(InstallerSession &session, QWidget *parent) : QDialog(parent), m_session(session)
{
    setObjectName(QStringLiteral("TfrTableSpaces"));
    setWindowTitle(QStringLiteral("Relacionar TableSpaces"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    MemTable &ts = m_session.cdsTS;
    ts.setEditableFields({QStringLiteral("TS_NEW")});
    ts.setHeaderTitles({{QStringLiteral("ALIAS"), QStringLiteral("Banco")},
                        {QStringLiteral("TS_DEFAULT"), QStringLiteral("TableSpace Padrão")},
                        {QStringLiteral("TS_NEW"), QStringLiteral("TableSpace Destino")}});

    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(QStringLiteral("Informe o tablespace correspondente onde os scripts devem ser executados."), this);
    text->setObjectName(QStringLiteral("lbInstrucao"));
    layout->addWidget(text);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("qgTableSpaces"));
    m_grid->setModel(&ts);
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_grid->setItemDelegateForColumn(ts.fieldIndex(QStringLiteral("TS_NEW")), new TableSpaceDelegate(m_session, m_grid));
    for (const char *hidden : {"ID", "KEY_LOOKUP"})
        m_grid->setColumnHidden(ts.fieldIndex(QLatin1String(hidden)), true);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(m_grid, 1);
    auto *confirm = new QPushButton(QStringLiteral("Confirmar"), this);
    confirm->setObjectName(QStringLiteral("btConfirmar"));
    layout->addWidget(confirm, 0, Qt::AlignRight);
    connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(560, 320);
}

void TfrTableSpaces::showEvent(QShowEvent *event)
{
    AbreTableSpaces(m_session);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TfrTableSpaces::done(int result)
{
    // A drop-down still open keeps its choice: leaving the cell commits it.
    if (m_grid->findChild<QComboBox *>(QStringLiteral("cbTsNew")))
        m_grid->setCurrentIndex(QModelIndex());
    if (!ConfirmaTableSpaces(m_session))
        return;
    QDialog::done(result);
}

}  // namespace tivra::gui
