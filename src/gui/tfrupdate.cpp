#include "gui/tfrupdate.h"

#include "gui/pictures.h"
#include "remote/packagedownload.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <QVBoxLayout>

namespace tivra::gui {

namespace {
// Columns of qgVersoes: "Versão", the five database columns, "Tamanho", the two buttons.
constexpr int kColVersao = 0;
constexpr int kColFirstAlias = 1;
constexpr int kColTamanho = 6;
constexpr int kColBaixar = 7;
constexpr int kColInfo = 8;
constexpr int kColumns = 9;

QWidget *legendItem(int image, const QString &text, QWidget *parent)
{
    auto *item = new QWidget(parent);
    auto *layout = new QHBoxLayout(item);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *icon = new QLabel(item);
    icon->setPixmap(statusPicture(image));
    layout->addWidget(icon);
    layout->addWidget(new QLabel(text, item));
    return item;
}
}  // namespace

TfrUpdate::TfrUpdate(remote::PackageDownloadWindow &logic, QWidget *parent) : QDialog(parent), m_logic(logic)
{
    setObjectName(QStringLiteral("TfrUpdate"));
    setWindowTitle(QStringLiteral("Download de Pacotes"));
    setModal(true);
    resize(620, 420);

    auto *layout = new QVBoxLayout(this);

    // Top panel: the caption and the legend.
    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("pnTopo"));
    auto *topLayout = new QHBoxLayout(top);
    m_lbTopo = new QLabel(top);
    m_lbTopo->setObjectName(QStringLiteral("lbTopo"));
    QFont bold = m_lbTopo->font();
    bold.setBold(true);
    m_lbTopo->setFont(bold);
    topLayout->addWidget(m_lbTopo, 1);
    m_legend = new QWidget(top);
    auto *legendLayout = new QHBoxLayout(m_legend);
    legendLayout->setContentsMargins(0, 0, 0, 0);
    legendLayout->addWidget(legendItem(0, remote::PackageDownloadWindow::legendNotInstalled(), m_legend));
    legendLayout->addWidget(legendItem(1, remote::PackageDownloadWindow::legendInstalled(), m_legend));
    topLayout->addWidget(m_legend);
    layout->addWidget(top);

    // Sign-in face.
    m_pnAuth = new QWidget(this);
    m_pnAuth->setObjectName(QStringLiteral("pnAuth"));
    auto *authLayout = new QVBoxLayout(m_pnAuth);
    auto *dirRow = new QHBoxLayout;
    dirRow->addWidget(new QLabel(QStringLiteral("Diretório AppTivra"), m_pnAuth));
    m_edDir = new QLineEdit(m_pnAuth);
    m_edDir->setObjectName(QStringLiteral("edDirAppTivra"));
    m_edDir->setReadOnly(true);
    dirRow->addWidget(m_edDir, 1);
    m_btDir = new QToolButton(m_pnAuth);
    m_btDir->setObjectName(QStringLiteral("btDirAppTivra"));
    m_btDir->setText(QStringLiteral("..."));
    dirRow->addWidget(m_btDir);
    authLayout->addLayout(dirRow);
    m_group = new QGroupBox(QStringLiteral("Acesso ao Sistema de Atendimento"), m_pnAuth);
    auto *form = new QGridLayout(m_group);
    form->addWidget(new QLabel(QStringLiteral("Usuário"), m_group), 0, 0);
    m_edUsuario = new QLineEdit(m_group);
    m_edUsuario->setObjectName(QStringLiteral("edUsuarioSAC"));
    form->addWidget(m_edUsuario, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("Senha"), m_group), 1, 0);
    m_edSenha = new QLineEdit(m_group);
    m_edSenha->setObjectName(QStringLiteral("edSenhaSAC"));
    m_edSenha->setEchoMode(QLineEdit::Password);
    form->addWidget(m_edSenha, 1, 1);
    m_cbLembrar = new QCheckBox(QStringLiteral("Lembrar dados para acesso futuro"), m_group);
    m_cbLembrar->setObjectName(QStringLiteral("cbLembrarDados"));
    form->addWidget(m_cbLembrar, 2, 1);
    m_btAuth = new QPushButton(QStringLiteral("&Autenticar"), m_group);
    m_btAuth->setObjectName(QStringLiteral("btAuth"));
    m_btAuth->setAutoDefault(false);
    form->addWidget(m_btAuth, 3, 1, Qt::AlignRight);
    authLayout->addWidget(m_group);
    authLayout->addStretch(1);
    layout->addWidget(m_pnAuth, 1);

    // List face.
    m_grid = new QTableWidget(0, kColumns, this);
    m_grid->setObjectName(QStringLiteral("qgVersoes"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Versão"), QString(), QString(), QString(), QString(), QString(),
                                       QStringLiteral("Tamanho"), QStringLiteral("Baixar Pacote"),
                                       QStringLiteral("Info")});
    m_grid->horizontalHeader()->setSectionResizeMode(kColVersao, QHeaderView::Stretch);
    layout->addWidget(m_grid, 1);

    m_pnStatus = new QWidget(this);
    m_pnStatus->setObjectName(QStringLiteral("pnStatus"));
    auto *statusLayout = new QHBoxLayout(m_pnStatus);
    m_progress = new QProgressBar(m_pnStatus);
    m_progress->setObjectName(QStringLiteral("pbDownload"));
    statusLayout->addWidget(m_progress, 1);
    m_btCancel = new QPushButton(QStringLiteral("Cancelar"), m_pnStatus);
    m_btCancel->setObjectName(QStringLiteral("btCancelarDownload"));
    m_btCancel->setAutoDefault(false);
    statusLayout->addWidget(m_btCancel);
    m_btCopy = new QPushButton(QStringLiteral("Importar do Disco..."), m_pnStatus);
    m_btCopy->setObjectName(QStringLiteral("btCopyPacote"));
    m_btCopy->setAutoDefault(false);
    statusLayout->addWidget(m_btCopy);
    layout->addWidget(m_pnStatus);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    m_timer1->setSingleShot(true);

    connect(m_timer1, &QTimer::timeout, this, [this] { m_logic.Timer1Timer(); });
    connect(m_edUsuario, &QLineEdit::textEdited, this, [this](const QString &text) { m_logic.edUsuarioSAC = text; });
    connect(m_edSenha, &QLineEdit::textEdited, this, [this](const QString &text) { m_logic.edSenhaSAC = text; });
    connect(m_cbLembrar, &QCheckBox::toggled, this, [this](bool on) { m_logic.cbLembrarDados = on; });
    connect(m_btAuth, &QPushButton::clicked, this, [this] { m_logic.btAuthClick(); });
    connect(m_edSenha, &QLineEdit::returnPressed, this, [this] { m_logic.edSenhaSACKeyDown(13); });
    connect(m_btDir, &QToolButton::clicked, this, [this] { m_logic.btDirAppTivraClick(); });
    connect(m_btCopy, &QPushButton::clicked, this, [this] { m_logic.btCopyPacoteClick(); });
    connect(m_btCancel, &QPushButton::clicked, this, [this] { m_logic.cancelDownload(); });
    connect(&m_logic, &remote::PackageDownloadWindow::changed, this, &TfrUpdate::render);
    connect(&m_logic, &remote::PackageDownloadWindow::closeRequested, this, &QDialog::accept);
    connect(&m_logic, &remote::PackageDownloadWindow::focusDirectoryRequested, this,
            [this] { m_edDir->setFocus(); });
    render();
}

void TfrUpdate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_gridSignature.clear();
    m_logic.FormShow();
    render();
    if (m_logic.timer1Enabled)
        m_timer1->start();
}

void TfrUpdate::reject()
{
    if (m_logic.downloading) {
        m_logic.cancelDownload();
        return;
    }
    QDialog::reject();
}

void TfrUpdate::keyPressEvent(QKeyEvent *event)
{
    // Enter in the password field signs in; nowhere else does it close the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrUpdate::render()
{
    const bool auth = m_logic.authPanelVisible;
    m_pnAuth->setVisible(auth);
    m_grid->setVisible(!auth);
    m_pnStatus->setVisible(!auth);
    m_lbTopo->setText(m_logic.topCaption);
    m_lbTopo->setAlignment((m_logic.topCaptionCentred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    m_legend->setVisible(m_logic.legendVisible);
    if (m_edUsuario->text() != m_logic.edUsuarioSAC)
        m_edUsuario->setText(m_logic.edUsuarioSAC);
    if (m_edSenha->text() != m_logic.edSenhaSAC)
        m_edSenha->setText(m_logic.edSenhaSAC);
    if (m_edDir->text() != m_logic.edDirAppTivra)
        m_edDir->setText(m_logic.edDirAppTivra);
    if (m_cbLembrar->isChecked() != m_logic.cbLembrarDados)
        m_cbLembrar->setChecked(m_logic.cbLembrarDados);
    // The bar counts in kilobytes when the package is larger than a bar can count in bytes.
    const bool large = m_logic.progressMaximum > 1000000000;
    m_progress->setMaximum(large ? m_logic.progressMaximum / 1024 : m_logic.progressMaximum);
    const qint64 position = large ? m_logic.progressPosition / 1024 : m_logic.progressPosition;
    m_progress->setValue(int(std::min<qint64>(position, m_progress->maximum())));
    m_btCancel->setVisible(m_logic.downloading);
    m_btCopy->setEnabled(!m_logic.downloading);
    m_grid->setEnabled(!m_logic.downloading);
    m_btAuth->setEnabled(!m_logic.downloading);
    renderGrid();
}

void TfrUpdate::renderGrid()
{
    const MemTable &table = m_logic.cdsVersoes;
    QString signature;
    for (const auto &column : m_logic.aliasColumns)
        signature += (column.visible ? QStringLiteral("1") : QStringLiteral("0")) + column.caption + QLatin1Char('|');
    for (int row = 0; row < table.count(); ++row) {
        signature += table.text(row, QStringLiteral("VERSAO")) + QLatin1Char(';');
        for (int n = 1; n <= 5; ++n)
            signature += QString::number(table.integer(row, QStringLiteral("ALIAS%1").arg(n)));
    }
    if (signature == m_gridSignature)
        return;
    m_gridSignature = signature;

    for (int n = 0; n < 5; ++n) {
        const auto &column = m_logic.aliasColumns[size_t(n)];
        m_grid->setColumnHidden(kColFirstAlias + n, !column.visible);
        auto *header = new QTableWidgetItem(column.caption);
        header->setTextAlignment(Qt::AlignCenter);
        header->setToolTip(column.caption);
        m_grid->setHorizontalHeaderItem(kColFirstAlias + n, header);
        // 40 pixels at least, and wide enough for the alias: a clipped caption would not say which
        // database the column stands for.
        if (column.visible) {
            const int captionWidth = m_grid->horizontalHeader()->fontMetrics().horizontalAdvance(column.caption) + 12;
            m_grid->setColumnWidth(kColFirstAlias + n, std::max(40, captionWidth));
        }
    }
    m_grid->setRowCount(table.count());
    for (int row = 0; row < table.count(); ++row) {
        m_grid->setItem(row, kColVersao, new QTableWidgetItem(table.text(row, QStringLiteral("VERSAO"))));
        for (int n = 0; n < 5; ++n) {
            auto *item = new QTableWidgetItem;
            item->setData(Qt::DecorationRole,
                          statusPicture(int(table.integer(row, QStringLiteral("ALIAS%1").arg(n + 1))) == 1 ? 1 : 0));
            m_grid->setItem(row, kColFirstAlias + n, item);
        }
        auto *size = new QTableWidgetItem(table.text(row, QStringLiteral("SIZE")));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_grid->setItem(row, kColTamanho, size);
        auto *download = new QPushButton(QStringLiteral("Baixar Pacote"), m_grid);
        download->setAutoDefault(false);
        connect(download, &QPushButton::clicked, this, [this, row] { m_logic.qgVersoesColumn2ButtonClick(row); });
        m_grid->setCellWidget(row, kColBaixar, download);
        auto *info = new QPushButton(QStringLiteral("Info"), m_grid);
        info->setAutoDefault(false);
        connect(info, &QPushButton::clicked, this, [this, row] { m_logic.qgVersoesColumn4ButtonClick(row); });
        m_grid->setCellWidget(row, kColInfo, info);
    }
    m_grid->resizeColumnToContents(kColTamanho);
    m_grid->resizeColumnToContents(kColBaixar);
    m_grid->resizeColumnToContents(kColInfo);
    if (m_logic.currentRow >= 0 && m_logic.currentRow < table.count())
        m_grid->selectRow(m_logic.currentRow);
}

}  // namespace tivra::gui
