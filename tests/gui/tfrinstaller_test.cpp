// The main window driven offscreen: what the user sees on the first page and on the log page,
// the closing question, and screenshots of both pages for a person to look at.
#include "gui/groupedgrid.h"
#include "gui/tformprogresso.h"
#include "gui/textviewer.h"
#include "gui/tfrinstaller.h"
#include "app/updaterun.h"
#include "core/clock.h"
#include "platform/system.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace tivra;

namespace {
// Share of pixels of an image that differ clearly from its most common colour: text drawn with a
// working font leaves many; a missing font draws nothing or empty boxes.
double inkShare(const QImage &image)
{
    if (image.isNull())
        return 0;
    const QRgb background = image.pixel(0, 0);
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAbs(qGray(p) - qGray(background)) > 60)
                ++ink;
        }
    }
    return double(ink) / (image.width() * image.height());
}

void saveShot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("TIVRA_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}
}  // namespace

class TfrInstallerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        site = std::make_unique<testsupport::TestSite>();
        ui = std::make_unique<testsupport::ScriptedUserInterface>();
        installer = std::make_unique<Installer>(*ui);
        installer->installerDirectoryOverride = site->installerDirectory();
        platform::setCommandLineArguments({QStringLiteral("/noupdate")});
        window = std::make_unique<gui::TfrInstaller>(*installer);
        installer->FormCreate();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        installer.reset();
        ui.reset();
        site.reset();
    }

    void fontsAreInstalled() { QVERIFY(!QFontDatabase::families().isEmpty()); }

    void firstPageShowsTitlesAndRendersText()
    {
        QCOMPARE(window->pages()->currentIndex(), int(tsIntro));
        QCOMPARE(window->lbTitulo()->text(), QStringLiteral("Atualização do Tivra*"));
        QCOMPARE(window->lbComentario()->text(), QStringLiteral("Bem vindo à ferramenta de atualização do Tivra*"));
        QVERIFY(window->windowTitle().startsWith(QStringLiteral("Instalador Tivra* v")));
        QCOMPARE(window->btVoltar()->text(), QStringLiteral("&Cancelar"));
        QVERIFY(window->btAvancar()->isVisible());
        const QImage title = window->lbTitulo()->grab().toImage();
        QVERIFY2(inkShare(title) > 0.01, "the title label shows no text: are fonts installed?");
        saveShot(*window, QStringLiteral("01-intro"));
    }

    void closingAsksAndNoKeepsTheWindow()
    {
        ui->answerNext(UserInterface::No);
        window->close();
        QVERIFY(window->isVisible());
        QCOMPARE(ui->boxes().size(), size_t(1));
        QCOMPARE(ui->boxes()[0].box.caption, QStringLiteral("Encerrar Atualizador"));
        ui->answerNext(UserInterface::Yes);
        window->close();
        QVERIFY(!window->isVisible());
    }

    // While a stage runs, closing the window is refused with a box that says an update is
    // running (not the idle question), and the window stays on screen with the run.
    void closingDuringARunIsRefusedAndTheWindowStays()
    {
        installer->session.pathLog = site->installerDirectory() + QStringLiteral("Log");
        installer->siteReachable = [](const QString &) { return false; };
        installer->finalReport = [](InstallerSession &, const QString &, const QString &, int) {};
        bool visibleAfterClose = false;
        installer->stageList = [&] {
            return std::vector<UpdateStage>{{QStringLiteral("06. Scripts de Banco"),
                                             [&](InstallerSession &s) {
                                                 s.UpdateStatus(QStringLiteral("Executando..."), true,
                                                                QStringLiteral("06. Scripts de Banco"), ImageSuccess, true);
                                                 ui->answerNext(UserInterface::Ok);
                                                 window->close();
                                                 QCoreApplication::processEvents();
                                                 visibleAfterClose = window->isVisible();
                                                 saveShot(*window, QStringLiteral("10-fechar-durante-execucao"));
                                                 return true;
                                             },
                                             false}};
        };
        installer->activePage = tsLog;
        installer->ChangePage(true);
        QVERIFY(visibleAfterClose);
        QCOMPARE(ui->boxes().size(), size_t(1));
        QCOMPARE(ui->boxes()[0].box.caption, QStringLiteral("Atualização em andamento"));
        QCOMPARE(ui->boxes()[0].box.text,
                 QStringLiteral("Uma atualização está em execução. Aguarde o seu término para fechar o instalador."));
        QCOMPARE(installer->lastRunResult, Installer::RunResult::Completed);
        // Once the run has ended, the idle question is back.
        ui->answerNext(UserInterface::No);
        window->close();
        QVERIFY(window->isVisible());
        QCOMPARE(ui->boxes().back().box.caption, QStringLiteral("Encerrar Atualizador"));
    }

    void logPageShowsGroupedRowsWithPictures()
    {
        installer->PreviewPage(tsLog);
        auto &in = *installer;
        in.UpdateStatus(QStringLiteral("Etapa de Backup ignorada pelo usuário."), true, QStringLiteral("01. Backup"),
                        ImageIgnored, true);
        in.UpdateStatus(QStringLiteral("Preparando o pacote para atualização..."), true,
                        QStringLiteral("02. Preparação do Pacote"), ImageSuccess, true);
        in.UpdateStatus(QStringLiteral("     Arquivos extraídos com sucesso!"), true,
                        QStringLiteral("02. Preparação do Pacote"), ImageSuccess, true);
        in.UpdateStatus(QStringLiteral("Não foi possível copiar o arquivo \"/opt/Sistema/AppTivra/Producao/Bin/"
                                       "Brenok.dll\" para o destino porque ele está em uso por outro processo; a "
                                       "cópia dos binários foi interrompida e as etapas seguintes não serão "
                                       "executadas."),
                        true, QStringLiteral("04. Arquivos Binários"), ImageError, true);
        in.UpdateStatus(QStringLiteral("pkBrelum"), true, QStringLiteral("03. Desligando Pacotes COM"), ImageSuccess,
                        true);
        in.UpdateStatus(QStringLiteral("Linha sem etapa"), true, QString(), ImageSuccess, true);
        in.session.status.settleLastRow();
        QCOMPARE(window->pages()->currentIndex(), int(tsLog));
        QCOMPARE(window->lbTitulo()->text(), QStringLiteral("Atualizando..."));
        QVERIFY(!window->btAvancar()->isVisible());
        // 5 groups + 6 rows, the empty stage first.
        auto *grid = window->qgStatus();
        QCOMPARE(grid->model()->rowCount(), 11);
        QVERIFY(grid->groupedModel()->isGroupHeader(0));
        QCOMPARE(grid->groupedModel()->groupText(0), QString());
        QCOMPARE(grid->groupedModel()->groupText(2), QStringLiteral("01. Backup"));
        // The long error row takes more than one line, at most three.
        const int errorRow = grid->groupedModel()->rowOfSource(3);
        QVERIFY(grid->rowHeight(errorRow) > grid->rowHeight(errorRow - 1) + 4);
        QVERIFY(grid->rowHeight(errorRow) <= 3 * grid->fontMetrics().lineSpacing() + 8);
        QCOMPARE(window->cbFiltroProc()->count(), 4);
        QCOMPARE(window->cbFiltroProc()->itemText(2), QStringLiteral("Executados com Erro"));
        QTest::qWait(50);
        QVERIFY(inkShare(grid->grab().toImage()) > 0.01);
        saveShot(*window, QStringLiteral("08-log"));

        // Collapsing through the expand box hides the rows, the filter narrows them.
        window->cbExpandirRecolher()->click();
        QCOMPARE(grid->model()->rowCount(), 5);
        window->cbExpandirRecolher()->click();
        installer->cbFiltroProcChange(2);
        QCOMPARE(grid->model()->rowCount(), 2);
    }

    // A long script stage: the subtitle under the title counts its statements and fits the panel;
    // when the run ends it shows the verdict's subtitle.
    void subtitleShowsTheProgressOfALongStage()
    {
        qint64 now = QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)).toMSecsSinceEpoch();
        setClockForTesting([&now] { return QDateTime::fromMSecsSinceEpoch(now); });
        installer->session.pathLog = site->installerDirectory() + QStringLiteral("Log");
        installer->session.customerCode = QStringLiteral("123");
        installer->siteReachable = [](const QString &) { return false; };
        installer->finalReport = [](InstallerSession &, const QString &, const QString &, int) {};
        QString shownText, expectedText;
        bool fits = false;
        installer->stageList = [&] {
            return std::vector<UpdateStage>{
                {QStringLiteral("06. Scripts de Banco"),
                 [&](InstallerSession &s) {
                     s.UpdateStatus(QStringLiteral("Executando 20000 instruções no banco \"PRODUCAO\"..."), true,
                                    QStringLiteral("06. Scripts de Banco"), ImageSuccess, true);
                     for (int i = 0; i < 20000; ++i) {
                         now += 5;
                         s.status.reportProgress(i, 20000, ProgressUnit::Statements);
                         if (i == 1234) {
                             // The repaint closest to this statement showed 1 200.
                             QLabel *label = window->lbComentario();
                             shownText = label->text();
                             expectedText = installer->displayedSubtitle();
                             fits = label->fontMetrics().horizontalAdvance(shownText) <= label->contentsRect().width();
                             saveShot(*window, QStringLiteral("09-log-progresso"));
                         }
                     }
                     return true;
                 },
                 false}};
        };
        installer->activePage = tsLog;
        installer->ChangePage(true);
        setClockForTesting({});
        QCOMPARE(shownText, QStringLiteral("06. Scripts de Banco: 1 220 de 20 000 instruções"));
        QCOMPARE(shownText, expectedText);
        QVERIFY(fits);
        QCOMPARE(window->lbComentario()->text(), installer->header.subtitle);
        QVERIFY(installer->progressSubtitle.isEmpty());
    }

    void everyPageRendersForAPerson()
    {
        installer->session.changeLog = QStringLiteral("Versão 1.0.001\r\n- Cadastro de clientes revisto.");
        installer->session.package.scriptOracle = {QStringLiteral("SELECT 1 FROM DUAL")};
        installer->session.package.tableSpaces = {QStringLiteral("TS_DADOS")};
        installer->session.pathAppTivra = site->appDirectory();
        installer->session.pathLog = site->installerDirectory() + QStringLiteral("Log");
        installer->session.pathBackup = site->installerDirectory() + QStringLiteral("Backup");
        static const char *const names[] = {"01-intro", "02-changelog", "03-diretorios", "04-catalogo",
                                            "05-bancos", "06-permissoes", "07-preparacao", "08-log-vazio"};
        for (int page = 0; page < PageCount; ++page) {
            installer->PreviewPage(Page(page));
            QCOMPARE(window->pages()->currentIndex(), page);
            QCOMPARE(window->lbTitulo()->text(), pageText(Page(page)).title);
            QVERIFY(inkShare(window->grab().toImage()) > 0.01);
            saveShot(*window, QString::fromLatin1(names[page]));
        }
    }

    void summaryTextBoxHeightFollowsTheScriptButtons()
    {
        installer->session.pathAppTivra = site->appDirectory();
        installer->PreviewPage(tsFinalizar);
        auto *summary = window->findChild<QPlainTextEdit *>(QStringLiteral("mFinalizar"));
        QVERIFY(summary);
        QCOMPARE(summary->height(), 240);
        installer->session.package.scriptOracle = {QStringLiteral("SELECT 1 FROM DUAL")};
        installer->PreviewPage(tsFinalizar);
        QCOMPARE(summary->height(), 210);
    }

    void escapeCancelsTheProgressDialogOrDoesNothing()
    {
        gui::TFormProgresso dialog;
        int cancels = 0;
        dialog.onCancel = [&cancels] { ++cancels; };
        // Without a cancel button Esc must not hide the dialog: it could not be shown again.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(cancels, 0);
        // With one, Esc is the cancel button.
        dialog.setCancelVisible(true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(cancels, 1);
    }

    void scriptWindowCannotBeCopiedFrom()
    {
        gui::TextViewer viewer(QStringLiteral("Scripts a serem executados em bancos DB2"),
                               QStringLiteral("CREATE TABLE X (A INT);\r\n"), true);
        viewer.setProtectedFromCopy(true);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QCOMPARE(viewer.size(), QSize(648, 480));
        QCOMPARE(viewer.editor()->contextMenuPolicy(), Qt::PreventContextMenu);
        QVERIFY(viewer.editor()->isReadOnly());
        QGuiApplication::clipboard()->setText(QStringLiteral("copiado"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copiado"));
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewer.editor()->viewport(), &move);
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    }

private:
    std::unique_ptr<testsupport::TestSite> site;
    std::unique_ptr<testsupport::ScriptedUserInterface> ui;
    std::unique_ptr<Installer> installer;
    std::unique_ptr<gui::TfrInstaller> window;
};

QTEST_MAIN(TfrInstallerTest)
#include "tfrinstaller_test.moc"
