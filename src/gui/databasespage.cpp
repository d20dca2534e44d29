#include "gui/databasespage.h"

#include "app/installer.h"
#include "core/userinterface.h"
#include "db/aliases.h"
#include "db/validation.h"
#include "gui/pictures.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace tivra::gui {

namespace {

const QString kPassword = QStringLiteral("PASSWORD");
const QString kImage = QStringLiteral("IMAGE");

// The grid's cells: the password shown as "*" and edited masked, the state as its picture, and
// the start of an edit reported to the page (qgDbsEditing). Enter ends an edit like Tab does:
// the next cell's editor opens.
class DbsDelegate : public QStyledItemDelegate {
public:
    DbsDelegate(int passwordColumn, int imageColumn, std::function<void(const QModelIndex &)> editing, QObject *parent)
        : QStyledItemDelegate(parent), m_password(passwordColumn), m_image(imageColumn), m_editing(std::move(editing))
    {
    }

    QString displayText(const QVariant &value, const QLocale &locale) const override
    {
        return QStyledItemDelegate::displayText(value, locale);
    }

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == m_password)
            option->text = QString(option->text.size(), QLatin1Char('*'));
        else if (index.column() == m_image)
            option->text.clear();
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.column() != m_image)
            return;
        const QPixmap picture = statusPicture(index.data(Qt::EditRole).toInt());
        const QPoint at = option.rect.center() - QPoint(picture.width() / 2, picture.height() / 2);
        painter->drawPixmap(at, picture);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_editing(index);
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor); line && index.column() == m_password)
            line->setEchoMode(QLineEdit::Password);
        return editor;
    }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *editor = qobject_cast<QWidget *>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Q_EMIT const_cast<DbsDelegate *>(this)->commitData(editor);
                Q_EMIT const_cast<DbsDelegate *>(this)->closeEditor(editor, QAbstractItemDelegate::EditNextItem);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    int m_password;
    int m_image;
    std::function<void(const QModelIndex &)> m_editing;
};

// The grid's rows in the chosen sort order; the state column has no caption.
class DbsSortModel : public QSortFilterProxyModel {
public:
    DbsSortModel(int imageColumn, QObject *parent) : QSortFilterProxyModel(parent), m_image(imageColumn) {}
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && section == m_image && role == Qt::DisplayRole)
            return QString();
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

private:
    int m_image;
};

// Enter on a cell that is not being edited moves on as Tab does.
class DbsGrid : public QTableView {
public:
    using QTableView::QTableView;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState) {
            const QModelIndex next = moveCursor(MoveNext, Qt::NoModifier);
            if (next.isValid()) {
                setCurrentIndex(next);
                if (next.flags() & Qt::ItemIsEditable)
                    edit(next);
            }
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

}  // namespace

DatabasesPage::DatabasesPage(Installer &installer, QWidget *parent) : QWidget(parent), m_installer(installer)
{
    MemTable &dbs = m_installer.cdsDbs;
    dbs.setEditableFields({QStringLiteral("LOGIN"), kPassword});
    dbs.setHeaderTitles({{QStringLiteral("VENDOR"), QStringLiteral("Tipo")},
                         {QStringLiteral("ALIAS"), QStringLiteral("Alias")},
                         {QStringLiteral("DESCRICAO"), QStringLiteral("Descrição")},
                         {QStringLiteral("LOGIN"), QStringLiteral("Usuário")},
                         {kPassword, QStringLiteral("Senha")},
                         {kImage, QString()}});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);

    auto *top = new QHBoxLayout;
    auto *text = new QLabel(QStringLiteral("Informe os dados de acesso ao banco de dados para que todos os scripts sejam executados. A não "
                                           "configuração do banco de dados impede que a instalação continue. Após o preenchimento dos "
                                           "dados, clique em \"Validar\" para verificar a autenticação em todos os bancos."),
                            this);
    text->setObjectName(QStringLiteral("lbExplicacao"));
    text->setWordWrap(true);
    top->addWidget(text, 1);
    auto *reload = new QToolButton(this);
    reload->setObjectName(QStringLiteral("btRecarregar"));
    reload->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    reload->setToolTip(QStringLiteral("Recarregar"));
    reload->setAccessibleName(QStringLiteral("Recarregar"));
    top->addWidget(reload, 0, Qt::AlignTop);
    auto *validate = new QPushButton(QStringLiteral("Vali&dar Bancos"), this);
    validate->setObjectName(QStringLiteral("btValidarDbs"));
    validate->setToolTip(QStringLiteral("Validar Bancos"));
    top->addWidget(validate, 0, Qt::AlignTop);
    layout->addLayout(top);

    auto *legend = new QGroupBox(QStringLiteral("Legenda"), this);
    legend->setObjectName(QStringLiteral("gbLegenda"));
    auto *legendLayout = new QHBoxLayout(legend);
    const QString states[] = {QStringLiteral("Aguardando"), QStringLiteral("Autenticado com Sucesso"), QStringLiteral("Autenticação Negada"),
                              QStringLiteral("Ignorado")};
    for (int code = 0; code < 4; ++code) {
        auto *picture = new QLabel(legend);
        picture->setPixmap(statusPicture(code));
        picture->setObjectName(QStringLiteral("imgLegenda%1").arg(code));
        legendLayout->addWidget(picture);
        legendLayout->addWidget(new QLabel(states[code], legend));
        legendLayout->addSpacing(12);
    }
    legendLayout->addStretch();
    layout->addWidget(legend);

    m_sorted = new DbsSortModel(dbs.fieldIndex(kImage), this);
    m_sorted->setSourceModel(&dbs);
    m_sorted->setSortRole(Qt::EditRole);
    m_grid = new DbsGrid(this);
    m_grid->setObjectName(QStringLiteral("qgDbs"));
    m_grid->setModel(m_sorted);
    m_grid->setSortingEnabled(true);
    m_grid->sortByColumn(-1, Qt::AscendingOrder);  // the list's order until a header is clicked
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::AnyKeyPressed);
    m_grid->setTabKeyNavigation(true);
    const int passwordColumn = dbs.fieldIndex(kPassword);
    const int imageColumn = dbs.fieldIndex(kImage);
    m_grid->setItemDelegate(new DbsDelegate(passwordColumn, imageColumn,
                                            [this](const QModelIndex &index) {
                                                qgDbsEditing(m_installer.session, m_sorted->mapToSource(index).row());
                                            },
                                            m_grid));
    // Columns in the page's order: Tipo (hidden), Alias, Descrição, Usuário, Senha, state.
    QHeaderView *header = m_grid->horizontalHeader();
    const QStringList order = {QStringLiteral("VENDOR"), QStringLiteral("ALIAS"), QStringLiteral("DESCRICAO"), QStringLiteral("LOGIN"),
                               kPassword, kImage};
    for (int visual = 0; visual < order.size(); ++visual)
        header->moveSection(header->visualIndex(dbs.fieldIndex(order.at(visual))), visual);
    for (int column = 0; column < dbs.columnCount(); ++column) {
        if (!order.contains(dbs.fields()[size_t(column)].name) || dbs.fields()[size_t(column)].name == QLatin1String("VENDOR"))
            m_grid->setColumnHidden(column, true);
    }
    header->setSectionResizeMode(dbs.fieldIndex(QStringLiteral("DESCRICAO")), QHeaderView::Stretch);
    header->resizeSection(dbs.fieldIndex(QStringLiteral("ALIAS")), 150);
    header->resizeSection(dbs.fieldIndex(QStringLiteral("LOGIN")), 120);
    header->resizeSection(passwordColumn, 120);
    header->resizeSection(imageColumn, 32);
    layout->addWidget(m_grid, 1);

    auto *note = new QLabel(QStringLiteral("Para ignorar a instalação em um ou mais bancos, remova o Usuário e clique em Validar."), this);
    note->setObjectName(QStringLiteral("lbNota"));
    layout->addWidget(note);

    connect(reload, &QToolButton::clicked, this, &DatabasesPage::btRecarregarClick);
    connect(validate, &QPushButton::clicked, this, &DatabasesPage::btValidarDbsClick);
}

int DatabasesPage::entryOfGridRow(int gridRow) const
{
    return m_sorted->mapToSource(m_sorted->index(gridRow, 0)).row();
}

void DatabasesPage::btRecarregarClick()
{
    try {
        ReadAliases(m_installer.session);
    } catch (const std::exception &error) {
        m_installer.session.ui.error(QStringLiteral("Instalador Tivra*"), QString::fromUtf8(error.what()));
    }
}

void DatabasesPage::btValidarDbsClick()
{
    // The grid is repainted once, at the end.
    m_grid->setUpdatesEnabled(false);
    ValidarBancos(m_installer.session);
    m_grid->setUpdatesEnabled(true);
    m_grid->viewport()->update();
}

}  // namespace tivra::gui
