#include "gui/tfrinstaller.h"

#include "gui/busyanimation.h"
#include "gui/databasespage.h"
#include "gui/groupedgrid.h"
#include "gui/pictures.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace tivra::gui {

namespace {
QLabel *wrappedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QPixmap topPicture(TopImage image)
{
    switch (image) {
    case TopImage::Logo: return picture(Picture::Logo, 55);
    case TopImage::Package: return picture(Picture::Package, 55);
    case TopImage::Success: return picture(Picture::Success, 55);
    case TopImage::Warning: return picture(Picture::Warning, 55);
    case TopImage::Error: return picture(Picture::Error, 55);
    }
    return {};
}
}  // namespace

TfrInstaller::TfrInstaller(Installer &installer, QWidget *parent) : QWidget(parent), m_installer(installer)
{
    setObjectName(QStringLiteral("TfrInstaller"));
    setFixedSize(720, 540);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTopPanel());
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("pcPages"));
    m_pages->addWidget(buildIntroPage());
    m_pages->addWidget(buildChangeLogPage());
    m_pages->addWidget(buildDirectoriesPage());
    m_pages->addWidget(buildCatalogPage());
    m_pages->addWidget(buildDatabasesPage());
    m_pages->addWidget(buildChecksPage());
    m_pages->addWidget(buildSummaryPage());
    m_pages->addWidget(buildLogPage());
    layout->addWidget(m_pages, 1);

    auto *line2 = new QFrame(this);
    line2->setFrameShape(QFrame::HLine);
    line2->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line2);
    layout->addWidget(buildButtonBar());

    connect(&m_installer, &Installer::changed, this, &TfrInstaller::refresh);
    connect(&m_installer, &Installer::progressChanged, this,
            [this] { m_lbComentario->setText(m_installer.displayedSubtitle()); });
    connect(&m_installer.session.status, &StatusLog::currentRowChanged, this, [this](int visibleRow) {
        m_qgStatus->setCurrentSourceRow(visibleRow);
    });
    connect(&m_installer, &Installer::closeRequested, this, &QWidget::close);

    auto *ctrlE = new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), this);
    connect(ctrlE, &QShortcut::activated, this, [this] { m_installer.ctrlEPressed(); });
    refresh();
}

QWidget *TfrInstaller::buildTopPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnTopo"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, QColor(20, 20, 20));
    panel->setPalette(pal);
    panel->setFixedHeight(72);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(16, 6, 10, 6);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_lbTitulo = new QLabel(panel);
    m_lbTitulo->setObjectName(QStringLiteral("lbTitulo"));
    QFont titleFont = m_lbTitulo->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_lbTitulo->setFont(titleFont);
    m_lbComentario = new QLabel(panel);
    m_lbComentario->setObjectName(QStringLiteral("lbComentario"));
    m_lbComentario->setWordWrap(true);
    m_lbComentario->setContentsMargins(14, 0, 0, 0);
    texts->addStretch();
    texts->addWidget(m_lbTitulo);
    texts->addWidget(m_lbComentario);
    texts->addStretch();
    layout->addLayout(texts, 1);
    m_imgLogo = new QLabel(panel);
    m_imgLogo->setObjectName(QStringLiteral("imgLogo"));
    m_imgLogo->setFixedSize(55, 55);
    m_animate = new BusyAnimation(panel);
    m_animate->setObjectName(QStringLiteral("Animate"));
    m_animate->hide();
    layout->addWidget(m_imgLogo);
    layout->addWidget(m_animate);
    return panel;
}

QWidget *TfrInstaller::buildIntroPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsIntro"));
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 16, 8);
    auto *banner = new QLabel(page);
    banner->setPixmap(picture(Picture::IntroBanner, 150));
    banner->setAlignment(Qt::AlignTop);
    layout->addWidget(banner);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(10);
    auto *welcome = new QLabel(QStringLiteral("Bem Vindo ao Instalador Tivra*"), page);
    QFont big = welcome->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    welcome->setFont(big);
    texts->addSpacing(12);
    texts->addWidget(welcome);
    auto *attention =
        wrappedLabel(QStringLiteral("Atenção! Este instalador deve ser executado diretamente no servidor de aplicações."), page);
    QFont bold = attention->font();
    bold.setBold(true);
    attention->setFont(bold);
    attention->setStyleSheet(QStringLiteral("color: rgb(170, 0, 0);"));
    texts->addWidget(attention);
    texts->addWidget(wrappedLabel(
        QStringLiteral("Este assistente atualiza a instalação do Tivra* deste servidor com o pacote de atualização "
                       "(Update.pack) colocado ao lado do instalador: faz a cópia de segurança dos arquivos, "
                       "substitui os arquivos binários, executa os scripts e importa os catálogos em cada banco de "
                       "dados da instalação.\n\nFeche o sistema em todas as estações antes de continuar. Clique em "
                       "\"Avançar\" para prosseguir ou em \"Cancelar\" para sair."),
        page));
    texts->addStretch();
    m_btManual = new QPushButton(page);
    m_btManual->setObjectName(QStringLiteral("btManual"));
    connect(m_btManual, &QPushButton::clicked, this, [this] { m_installer.btManualClick(); });
    auto *manualRow = new QHBoxLayout;
    manualRow->addWidget(m_btManual);
    manualRow->addStretch();
    texts->addLayout(manualRow);
    layout->addLayout(texts, 1);
    return page;
}

QWidget *TfrInstaller::buildChangeLogPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsChangeLog"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 10, 12, 10);
    m_mChangeLog = new QPlainTextEdit(page);
    m_mChangeLog->setObjectName(QStringLiteral("mChangeLog"));
    m_mChangeLog->setReadOnly(true);
    layout->addWidget(m_mChangeLog);
    return page;
}

QWidget *TfrInstaller::buildDirectoriesPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsDiretorios"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 16, 24, 10);
    layout->setSpacing(4);
    const auto addField = [&](const QString &label, const char *editName, const char *buttonName, QLineEdit **edit,
                              void (Installer::*handler)()) {
        layout->addWidget(new QLabel(label, page));
        auto *row = new QHBoxLayout;
        *edit = new QLineEdit(page);
        (*edit)->setObjectName(QString::fromLatin1(editName));
        (*edit)->setReadOnly(true);
        auto *button = new QToolButton(page);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setText(QStringLiteral("..."));
        connect(button, &QToolButton::clicked, this, [this, handler] { (m_installer.*handler)(); });
        row->addWidget(*edit, 1);
        row->addWidget(button);
        layout->addLayout(row);
        layout->addSpacing(10);
    };
    addField(QStringLiteral("Diretório para atualização dos Binários (AppTivra)"), "edPathAppTivra", "btDirAppTivra",
             &m_edPathAppTivra, &Installer::btDirAppTivraClick);
    addField(QStringLiteral("Diretório de destino dos arquivos de Backup"), "edPathBackup", "btDirBackup",
             &m_edPathBackup, &Installer::btDirBackupClick);
    addField(QStringLiteral("Diretório para geração do Log de Atualização"), "edPathLog", "btPathLog", &m_edPathLog,
             &Installer::btPathLogClick);
    m_cbIgnoreBackup = new QCheckBox(QStringLiteral("Ignorar Etapa de Backup"), page);
    m_cbIgnoreBackup->setObjectName(QStringLiteral("cbIgnoreBackup"));
    connect(m_cbIgnoreBackup, &QCheckBox::clicked, this, [this](bool checked) {
        m_installer.session.ignoreBackup = checked;
    });
    layout->addWidget(m_cbIgnoreBackup);
    layout->addStretch();
    return page;
}

QWidget *TfrInstaller::buildCatalogPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsCatalogo"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 10, 12, 10);
    auto *grid = new QTableView(page);
    grid->setObjectName(QStringLiteral("qgCatalogo"));
    grid->setModel(&m_installer.cdsCatalogo);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->hide();
    // Columns: "Tabela", "Cód. Tab. Estruturada", "Tabela Estruturada".
    const int nome = m_installer.cdsCatalogo.fieldIndex(QStringLiteral("NOME_TABELA"));
    const int cod = m_installer.cdsCatalogo.fieldIndex(QStringLiteral("COD_TAB_EST"));
    const int descr = m_installer.cdsCatalogo.fieldIndex(QStringLiteral("DESCR_TAB_ESTRUTURADA"));
    for (int c = 0; c < m_installer.cdsCatalogo.columnCount(); ++c)
        grid->setColumnHidden(c, c != nome && c != cod && c != descr);
    grid->horizontalHeader()->moveSection(grid->horizontalHeader()->visualIndex(cod), 1);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(nome, 200);
    grid->setColumnWidth(cod, 140);
    m_installer.cdsCatalogo.setHeaderTitles({{QStringLiteral("NOME_TABELA"), QStringLiteral("Tabela")},
                                             {QStringLiteral("COD_TAB_EST"), QStringLiteral("Cód. Tab. Estruturada")},
                                             {QStringLiteral("DESCR_TAB_ESTRUTURADA"), QStringLiteral("Tabela Estruturada")}});
    layout->addWidget(grid);
    return page;
}

QWidget *TfrInstaller::buildDatabasesPage()
{
    auto *page = new DatabasesPage(m_installer, this);
    page->setObjectName(QStringLiteral("tsScripts"));
    return page;
}

QWidget *TfrInstaller::buildChecksPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsCheck"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 10, 12, 10);
    const int detalhes = m_installer.cdsChecks.fieldIndex(QStringLiteral("DETALHES"));
    const int status = m_installer.cdsChecks.fieldIndex(QStringLiteral("STATUS"));
    const int aprovado = m_installer.cdsChecks.fieldIndex(QStringLiteral("APROVADO"));
    GroupedGrid::Style style;
    style.columns = {detalhes, status};
    style.wrapColumn = detalhes;
    style.maxLines = 2;
    style.foreground = [status, aprovado](const QModelIndex &index) -> std::optional<QColor> {
        if (index.column() != status)
            return std::nullopt;
        const QString value = index.sibling(index.row(), aprovado).data().toString();
        if (value == QStringLiteral("S"))
            return QColor(0, 128, 0);
        if (value == QStringLiteral("N"))
            return QColor(255, 0, 0);
        return QColor(0, 0, 255);
    };
    m_qgCheck = new GroupedGrid(&m_installer.checksGrid, style, page);
    m_qgCheck->setObjectName(QStringLiteral("qgCheck"));
    connect(m_qgCheck, &GroupedGrid::rowDoubleClicked, this, [this] { m_installer.btLogClick(); });
    layout->addWidget(m_qgCheck, 1);
    auto *row = new QHBoxLayout;
    row->addStretch();
    auto *again = new QPushButton(QStringLiteral("Verificar &Novamente"), page);
    again->setObjectName(QStringLiteral("btCheck"));
    connect(again, &QPushButton::clicked, this, [this] { m_installer.btCheckClick(); });
    row->addWidget(again);
    layout->addLayout(row);
    return page;
}

QWidget *TfrInstaller::buildSummaryPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsFinalizar"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 10, 12, 10);
    m_mFinalizar = new QPlainTextEdit(page);
    m_mFinalizar->setObjectName(QStringLiteral("mFinalizar"));
    m_mFinalizar->setReadOnly(true);
    layout->addWidget(m_mFinalizar);
    m_scriptButtons = new QWidget(page);
    auto *row = new QHBoxLayout(m_scriptButtons);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Scripts à serem executados:"), m_scriptButtons));
    const auto addScriptButton = [&](const QString &caption, const QString &vendor) {
        auto *button = new QPushButton(caption, m_scriptButtons);
        connect(button, &QPushButton::clicked, this, [this, vendor] { m_installer.btScriptClick(vendor); });
        row->addWidget(button);
    };
    addScriptButton(QStringLiteral("DB2"), QStringLiteral("DB2"));
    addScriptButton(QStringLiteral("Oracle"), QStringLiteral("ORACLE"));
    addScriptButton(QStringLiteral("SQL Server"), QStringLiteral("SQL Server"));
    row->addStretch();
    m_btTableSpaces = new QPushButton(QStringLiteral("Relacionar TableSpaces"), m_scriptButtons);
    m_btTableSpaces->setObjectName(QStringLiteral("btRelacionarTableSpaces"));
    connect(m_btTableSpaces, &QPushButton::clicked, this, [this] { m_installer.btRelacionarTableSpacesClick(); });
    row->addWidget(m_btTableSpaces);
    layout->addWidget(m_scriptButtons);
    layout->addStretch();
    return page;
}

QWidget *TfrInstaller::buildLogPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsLog"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(12, 8, 12, 8);
    auto *controls = new QHBoxLayout;
    m_cbFiltroProc = new QComboBox(page);
    m_cbFiltroProc->setObjectName(QStringLiteral("cbFiltroProc"));
    const QStringList entries = statusFilterEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (i == 0)
            m_cbFiltroProc->addItem(entries[i]);
        else
            m_cbFiltroProc->addItem(QIcon(statusPicture(i, 16)), entries[i]);
    }
    connect(m_cbFiltroProc, &QComboBox::activated, this, [this](int index) { m_installer.cbFiltroProcChange(index); });
    m_cbExpandirRecolher = new QCheckBox(QStringLiteral("Expandir Etapas"), page);
    m_cbExpandirRecolher->setObjectName(QStringLiteral("cbExpandirRecolher"));
    connect(m_cbExpandirRecolher, &QCheckBox::clicked, this,
            [this](bool checked) { m_installer.cbExpandirRecolherClick(checked); });
    controls->addWidget(m_cbFiltroProc);
    controls->addWidget(m_cbExpandirRecolher);
    controls->addStretch();
    m_btSyncSvrFinal = new QPushButton(page);
    m_btSyncSvrFinal->setObjectName(QStringLiteral("btSyncSvrFinal"));
    connect(m_btSyncSvrFinal, &QPushButton::clicked, this, [this] { m_installer.btSyncSvrFinalClick(); });
    controls->addWidget(m_btSyncSvrFinal);
    layout->addLayout(controls);

    GroupedGrid::Style style;
    style.columns = {StatusLog::ColDetalhes, StatusLog::ColImage};
    style.wrapColumn = StatusLog::ColDetalhes;
    style.maxLines = 3;
    style.imageColumn = StatusLog::ColImage;
    style.background = [](const QModelIndex &index) -> std::optional<QColor> {
        if (index.data(StatusLog::ImageRole).toInt() == ImageError)
            return QColor(255, 210, 210);
        return std::nullopt;
    };
    m_qgStatus = new GroupedGrid(&m_installer.statusGrid, style, page);
    m_qgStatus->setObjectName(QStringLiteral("qgStatus"));
    connect(m_qgStatus, &GroupedGrid::rowDoubleClicked, this, [this] { m_installer.btLogClick(); });
    layout->addWidget(m_qgStatus, 1);
    return page;
}

QWidget *TfrInstaller::buildButtonBar()
{
    auto *bar = new QWidget(this);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(10, 8, 10, 8);
    const auto make = [bar](const char *name) {
        auto *button = new QPushButton(bar);
        button->setObjectName(QString::fromLatin1(name));
        button->setMinimumWidth(90);
        return button;
    };
    m_btAtualizacoes = make("btAtualizacoes");
    m_btSyncSvr = make("btSyncSvr");
    m_btLog = make("btLog");
    m_btInstallNewPack = make("btInstallNewPack");
    m_btVoltar = make("btVoltar");
    m_btAvancar = make("btAvancar");
    m_btConcluir = make("btConcluir");
    layout->addWidget(m_btAtualizacoes);
    layout->addWidget(m_btSyncSvr);
    layout->addWidget(m_btLog);
    layout->addStretch();
    layout->addWidget(m_btInstallNewPack);
    layout->addWidget(m_btVoltar);
    layout->addWidget(m_btAvancar);
    layout->addWidget(m_btConcluir);
    connect(m_btAvancar, &QPushButton::clicked, this, [this] { m_installer.NextPage(); });
    connect(m_btVoltar, &QPushButton::clicked, this, [this] { m_installer.PreviousPage(); });
    connect(m_btConcluir, &QPushButton::clicked, this, &QWidget::close);
    connect(m_btLog, &QPushButton::clicked, this, [this] { m_installer.btLogClick(); });
    connect(m_btAtualizacoes, &QPushButton::clicked, this, [this] { m_installer.btAtualizacoesClick(); });
    connect(m_btSyncSvr, &QPushButton::clicked, this, [this] { m_installer.btSyncSvrClick(); });
    connect(m_btInstallNewPack, &QPushButton::clicked, this, [this] { m_installer.btInstallNewPackClick(); });
    return bar;
}

void TfrInstaller::applyButton(QPushButton *button, const ButtonState &state)
{
    button->setText(state.caption);
    button->setVisible(state.visible);
    button->setEnabled(state.enabled);
}

void TfrInstaller::refresh()
{
    const Installer &in = m_installer;
    setWindowTitle(in.caption);
    m_lbTitulo->setText(in.header.title);
    m_lbComentario->setText(in.displayedSubtitle());
    m_imgLogo->setPixmap(topPicture(in.topImage));
    if (m_pages->currentIndex() != int(in.activePage))
        m_pages->setCurrentIndex(int(in.activePage));

    applyButton(m_btAvancar, in.btAvancar);
    applyButton(m_btVoltar, in.btVoltar);
    applyButton(m_btConcluir, in.btConcluir);
    applyButton(m_btLog, in.btLog);
    applyButton(m_btAtualizacoes, in.btAtualizacoes);
    applyButton(m_btSyncSvr, in.btSyncSvr);
    applyButton(m_btInstallNewPack, in.btInstallNewPack);
    applyButton(m_btSyncSvrFinal, in.btSyncSvrFinal);
    applyButton(m_btManual, in.btManual);

    QString changeLog = in.session.changeLog;
    changeLog.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_mChangeLog->toPlainText() != changeLog)
        m_mChangeLog->setPlainText(changeLog);
    m_edPathAppTivra->setText(in.session.pathAppTivra);
    m_edPathBackup->setText(in.session.pathBackup);
    m_edPathLog->setText(in.session.pathLog);
    m_cbIgnoreBackup->setChecked(in.session.ignoreBackup);
    QString summary = in.mFinalizar;
    summary.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_mFinalizar->toPlainText() != summary)
        m_mFinalizar->setPlainText(summary);
    m_mFinalizar->setFixedHeight(in.summaryPanelHeight);
    m_scriptButtons->setVisible(in.scriptButtonsVisible);
    m_btTableSpaces->setVisible(in.tableSpacesButtonVisible);

    m_cbFiltroProc->setCurrentIndex(in.filterIndex);
    m_cbExpandirRecolher->setChecked(in.expandEtapas);
    const bool onLog = in.activePage == tsLog;
    m_cbFiltroProc->setEnabled(!onLog || in.logControlsEnabled);
    m_cbExpandirRecolher->setEnabled(!onLog || in.logControlsEnabled);
    if (onLog && !in.logControlsEnabled)
        m_btLog->setEnabled(false);
    setBusy(in.busy);
}

void TfrInstaller::setBusy(bool on)
{
    if (on == m_animate->isRunning())
        return;
    if (on) {
        m_imgLogo->hide();
        m_animate->show();
        m_animate->start();
    } else {
        m_animate->stop();
        m_animate->hide();
        m_imgLogo->show();
    }
    repaint();
}

void TfrInstaller::closeEvent(QCloseEvent *event)
{
    if (m_installer.FormClose())
        event->accept();
    else
        event->ignore();
}

}  // namespace tivra::gui
