#include "gui/tfrsyncsvrs.h"

#include "app/installer.h"
#include "core/session.h"

#include <QApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tivra::gui {

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(Qt::red);

// The grid's view of cdsDestinos: the state columns coloured ("Aprovado" and "Concluído" green,
// "Reprovado" and "Erro" red, anything else black) with centred captions, and each row's note
// as its tip.
class DestinosView : public QIdentityProxyModel {
public:
    DestinosView(SyncSvrs &sync, QObject *parent) : QIdentityProxyModel(parent), m_sync(sync)
    {
        setSourceModel(&sync.cdsDestinos);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const int canWrite = m_sync.cdsDestinos.fieldIndex(QStringLiteral("CAN_WRITE"));
        const int status = m_sync.cdsDestinos.fieldIndex(QStringLiteral("STATUS"));
        if (role == Qt::ForegroundRole && (index.column() == canWrite || index.column() == status)) {
            const QString text = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
            if (text == kAprovado || text == kConcluido)
                return kGreen;
            if (text == kReprovado || text == kErro)
                return kRed;
            return QColor(Qt::black);
        }
        if (role == Qt::TextAlignmentRole && (index.column() == canWrite || index.column() == status))
            return int(Qt::AlignCenter);
        if (role == Qt::ToolTipRole) {
            const QString note = m_sync.rowNote(index.row());
            return note.isEmpty() ? QVariant() : QVariant(note);
        }
        return QIdentityProxyModel::data(index, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
            const QString field = m_sync.cdsDestinos.fields()[size_t(section)].name;
            if (field == QLatin1String("CAN_WRITE") || field == QLatin1String("STATUS"))
                return int(Qt::AlignCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

private:
    SyncSvrs &m_sync;
};

// "Diretório AppTivra": typed into a line edit, with the folder button at its right.
class PathDelegate : public QStyledItemDelegate {
public:
    PathDelegate(SyncSvrs &sync, QObject *parent) : QStyledItemDelegate(parent), m_sync(sync) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new QWidget(parent);
        editor->setObjectName(QStringLiteral("PathDestEditor"));
        editor->setAutoFillBackground(true);
        auto *layout = new QHBoxLayout(editor);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto *edit = new QLineEdit(editor);
        edit->setObjectName(QStringLiteral("edPathDest"));
        edit->setFrame(false);
        edit->setMaxLength(250);  // what PATH_DEST holds
        layout->addWidget(edit, 1);
        auto *button = new QToolButton(editor);
        button->setObjectName(QStringLiteral("btPathDest"));
        button->setText(QStringLiteral("..."));
        layout->addWidget(button);
        editor->setFocusProxy(edit);
        const int row = index.row();
        auto *self = const_cast<PathDelegate *>(this);
        QObject::connect(button, &QToolButton::clicked, editor, [self, editor, row] {
            // The typed text is dropped: the chosen folder replaces it.
            Q_EMIT self->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            QTimer::singleShot(0, self, [self, row] { self->m_sync.qgDestinosColumn4ButtonClick(row); });
        });
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *edit = editor->findChild<QLineEdit *>(QStringLiteral("edPathDest")))
            edit->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *edit = editor->findChild<QLineEdit *>(QStringLiteral("edPathDest")))
            model->setData(index, edit->text(), Qt::EditRole);
    }

    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        editor->setGeometry(option.rect);
    }

private:
    SyncSvrs &m_sync;
};

}  // namespace

QStringList TfrSyncSvrs::noticeLines()
{
    return {
        QStringLiteral("Atenção! Esta sincronização é realizada de forma independente do pacote de atualização presente no "),
        QStringLiteral("instalador. Todos arquivos já existentes nos diretórios de destino serão sobrescritos pelos arquivos do "
                       "diretório "),
        QStringLiteral("de origem. Recomenda-se efetuar a sincronização de arquivos somente após a atualização do pacote."),
        QString(),
        QStringLiteral("Esse procedimento não efetua cópias de segurança de nenhum dos diretórios de destino, portanto, "),
        QStringLiteral("recomenda-se que seja feito o backup manualmente antes de prosseguir."),
    };
}

TfrSyncSvrs::TfrSyncSvrs(InstallerSession &session, QWidget *parent)
    : QDialog(parent), m_sync(session), m_progress(session.ui)
{
    setObjectName(QStringLiteral("TfrSyncSvrs"));
    setWindowTitle(QStringLiteral("Sincronizar Arquivos entre servidores"));
    setModal(true);

    m_progress.setTitulo(QStringLiteral("Sincronizando Arquivos, aguarde..."));
    m_progress.TipoProgresso = tpCopiar;
    m_progress.MostraProgresso = false;
    m_progress.MostraCancelar = false;
    m_sync.showProgress = [this](bool shown) { m_progress.setShown(shown); };

    auto *layout = new QVBoxLayout(this);

    m_notice = new QPlainTextEdit(this);
    m_notice->setObjectName(QStringLiteral("mAtencao"));
    m_notice->setReadOnly(true);
    m_notice->setPlainText(noticeLines().join(QLatin1Char('\n')));
    QPalette red = m_notice->palette();
    red.setColor(QPalette::Text, kRed);
    red.setColor(QPalette::Base, palette().color(QPalette::Window));
    m_notice->setPalette(red);
    m_notice->setFrameShape(QFrame::NoFrame);
    m_notice->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_notice->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_notice->setLineWrapMode(QPlainTextEdit::NoWrap);  // six lines, as written
    m_notice->setFixedHeight(m_notice->fontMetrics().lineSpacing() * 7 + 8);
    layout->addWidget(m_notice);

    auto *originGroup = new QGroupBox(QStringLiteral("Servidor de Origem dos Arquivos (Diretório AppTivra)"), this);
    originGroup->setObjectName(QStringLiteral("gbOrigem"));
    auto *originLayout = new QHBoxLayout(originGroup);
    m_edOrigem = new QLineEdit(originGroup);
    m_edOrigem->setObjectName(QStringLiteral("edOrigem"));
    m_edOrigem->setReadOnly(true);
    originLayout->addWidget(m_edOrigem, 1);
    m_btOpenDir = new QToolButton(originGroup);
    m_btOpenDir->setObjectName(QStringLiteral("btOpenDir"));
    m_btOpenDir->setText(QStringLiteral("..."));
    originLayout->addWidget(m_btOpenDir);
    layout->addWidget(originGroup);

    auto *destinationGroup = new QGroupBox(QStringLiteral("Servidores de Destino"), this);
    destinationGroup->setObjectName(QStringLiteral("gbDestinos"));
    auto *destinationLayout = new QVBoxLayout(destinationGroup);
    MemTable &destinos = m_sync.cdsDestinos;
    destinos.setHeaderTitles({{QStringLiteral("PATH_DEST"), QStringLiteral("Diretório AppTivra")},
                              {QStringLiteral("CAN_WRITE"), QStringLiteral("Permissão de Escrita")},
                              {QStringLiteral("STATUS"), QStringLiteral("Status")}});
    m_view = new DestinosView(m_sync, this);
    m_grid = new QTableView(destinationGroup);
    m_grid->setObjectName(QStringLiteral("qgDestinos"));
    m_grid->setModel(m_view);
    m_grid->setColumnHidden(destinos.fieldIndex(QStringLiteral("ID")), true);
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                            | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_grid->setItemDelegateForColumn(destinos.fieldIndex(QStringLiteral("PATH_DEST")), new PathDelegate(m_sync, m_grid));
    QHeaderView *header = m_grid->horizontalHeader();
    header->setSectionResizeMode(destinos.fieldIndex(QStringLiteral("PATH_DEST")), QHeaderView::Stretch);
    header->setSectionResizeMode(destinos.fieldIndex(QStringLiteral("CAN_WRITE")), QHeaderView::Fixed);
    header->setSectionResizeMode(destinos.fieldIndex(QStringLiteral("STATUS")), QHeaderView::Fixed);
    header->resizeSection(destinos.fieldIndex(QStringLiteral("CAN_WRITE")), 140);
    header->resizeSection(destinos.fieldIndex(QStringLiteral("STATUS")), 100);
    destinationLayout->addWidget(m_grid, 1);
    auto *rowButtons = new QHBoxLayout;
    m_btNew = new QPushButton(QStringLiteral("Adicionar"), destinationGroup);
    m_btNew->setObjectName(QStringLiteral("btNew"));
    m_btDel = new QPushButton(QStringLiteral("Remover"), destinationGroup);
    m_btDel->setObjectName(QStringLiteral("btDel"));
    rowButtons->addWidget(m_btNew);
    rowButtons->addWidget(m_btDel);
    rowButtons->addStretch();
    destinationLayout->addLayout(rowButtons);
    layout->addWidget(destinationGroup, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_btSync = new QPushButton(QStringLiteral("&Sincronizar"), this);
    m_btSync->setObjectName(QStringLiteral("btSync"));
    m_btCancelar = new QPushButton(QStringLiteral("&Cancelar"), this);
    m_btCancelar->setObjectName(QStringLiteral("btCancelar"));
    m_btSync->setAutoDefault(false);
    m_btCancelar->setAutoDefault(false);
    buttons->addWidget(m_btSync);
    buttons->addWidget(m_btCancelar);
    layout->addLayout(buttons);

    connect(m_btOpenDir, &QToolButton::clicked, this, [this] { m_sync.btOpenDirClick(); });
    connect(m_btNew, &QPushButton::clicked, this, [this] { m_sync.btNewClick(); });
    connect(m_btDel, &QPushButton::clicked, this, [this] {
        const QModelIndex current = m_grid->currentIndex();
        m_sync.btDelClick(current.isValid() ? current.row() : m_sync.cdsDestinos.count() - 1);
    });
    connect(m_btSync, &QPushButton::clicked, this, &TfrSyncSvrs::btSyncClick);
    connect(m_btCancelar, &QPushButton::clicked, this, &TfrSyncSvrs::reject);
    connect(&m_sync, &SyncSvrs::changed, this, &TfrSyncSvrs::render);
    resize(880, 520);
    render();
}

void TfrSyncSvrs::render()
{
    m_edOrigem->setText(m_sync.edOrigem);
    const bool idle = !m_sync.copying;
    m_btOpenDir->setEnabled(idle);
    m_grid->setEnabled(idle);
    m_btNew->setEnabled(idle);
    m_btDel->setEnabled(idle && m_sync.btDelEnabled);
    m_btSync->setEnabled(idle && m_sync.btSyncEnabled);
    m_btCancelar->setEnabled(idle);
    if (isVisible())
        repaint();
}

void TfrSyncSvrs::openOnRequest(Installer &installer)
{
    connect(&installer, &Installer::syncRequested, this, [this](const QString &origin) {
        setOrigemPadrao(origin);
        exec();
    });
}

void TfrSyncSvrs::btSyncClick()
{
    if (m_sync.btSyncClick())
        accept();
}

void TfrSyncSvrs::reject()
{
    if (m_sync.copying)
        return;
    QDialog::reject();
}

void TfrSyncSvrs::showEvent(QShowEvent *event)
{
    m_sync.FormShow();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

}  // namespace tivra::gui
