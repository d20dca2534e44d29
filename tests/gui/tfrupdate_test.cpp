// The package download window driven offscreen against a local maker's site: sign-in typed into
// the fields, the list with its database columns and legend (saved as a screenshot), a download
// clicked in the grid, and a Darnu chain link that signs in by itself and hands the new package
// to the main window.
#include "app/installer.h"
#include "gui/tfrupdate.h"
#include "makersite.h"
#include "platform/system.h"
#include "remote/packagelisting.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace tivra;

namespace {
void saveShot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("TIVRA_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
}  // namespace

class TfrUpdateTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        site = std::make_unique<testsupport::TestSite>();
        server = std::make_unique<makersite::LocalMakerSite>(site->root() + QStringLiteral("/site"), QStringLiteral("tvrk"));
        QVERIFY(server->start());
        build = BuildSettings::compiled();
        build.makerSite = server->siteAddress();
        build.packageRepository = server->repositoryAddress();
        build.userListToken = QStringLiteral("tvrk");
        site->writeFile(QStringLiteral("site/users.txt"),
                        QStringLiteral("MARIA,%1,C01<BR>").arg(remote::md5Hex(QStringLiteral("segredo"))).toLatin1());
        site->writeFile(QStringLiteral("site/repo/Versoes.txt"), "2.1.0=1000000=Todos=x=S\r\n"
                                                                 "2.1.1=2500000=Todos=x=S\r\n"
                                                                 "3.0.0=999999=C01=x=S\r\n"
                                                                 "3.1.0=1=C02=x=S\r\n");
        site->writeFile(QStringLiteral("site/repo/2.1.1/Update.pack"), "pacote 2.1.1");
        site->writeFile(QStringLiteral("site/repo/3.0.0/Update.pack"), "pacote 3.0.0");
        site->writeFile(QStringLiteral("installer/Update.pack"), "pacote anterior");
        site->writeVersoesIni("[Aliases]\r\n");
        ui = std::make_unique<testsupport::ScriptedUserInterface>();
        installer = std::make_unique<Installer>(*ui, build);
        installer->installerDirectoryOverride = site->installerDirectory();
        installer->selfUpdateCheck = [](Installer &) {};
        installer->siteReachable = [](const QString &) { return true; };
        platform::setCommandLineArguments({QStringLiteral("/noupdate")});
        ui->allowUnexpected(true);  // the first page's refusal of the test's package bytes
        installer->FormCreate();
        ui->allowUnexpected(false);
        ui->clearBoxes();
        installer->downloadWindow.prepareDatabases = [this] {
            MemTable &dbs = installer->session.cdsDbs;
            dbs.clear();
            dbs.append({{"ALIAS", "PRODUCAO"}, {"IMAGE", 1}, {"MAX_PACK_COMPLETE", 210}});
            dbs.append({{"ALIAS", "HOMOLOG"}, {"IMAGE", 1}, {"MAX_PACK_COMPLETE", 211}});
        };
        window = std::make_unique<gui::TfrUpdate>(installer->downloadWindow);
    }
    void cleanup()
    {
        window.reset();
        installer.reset();
        ui.reset();
        server.reset();
        site.reset();
        platform::resetCommandLineArguments();
    }

    void signInShowsTheListAndDownloadsFromTheGrid()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->windowTitle(), QStringLiteral("Download de Pacotes"));
        QVERIFY(window->pnAuth()->isVisible());
        QVERIFY(!window->qgVersoes()->isVisible());
        QCOMPARE(window->lbTopo()->text(), QStringLiteral("Efetue a autenticação com seu usuário e senha do SAC"));
        QCOMPARE(window->edSenhaSAC()->echoMode(), QLineEdit::Password);
        saveShot(*window, QStringLiteral("update-signin"));

        ui->chooseNext(site->appDirectory());
        QTest::mouseClick(window->findChild<QWidget *>(QStringLiteral("btDirAppTivra")), Qt::LeftButton);
        QCOMPARE(window->edDirAppTivra()->text(), site->appDirectory());
        QTest::keyClicks(window->edUsuarioSAC(), QStringLiteral("maria"));
        QTest::keyClicks(window->edSenhaSAC(), QStringLiteral("segredo"));
        window->cbLembrarDados()->setChecked(true);
        QTest::keyClick(window->edSenhaSAC(), Qt::Key_Return);  // Enter signs in
        QVERIFY(ui->boxes().empty());
        QVERIFY(!window->pnAuth()->isVisible());
        QVERIFY(window->qgVersoes()->isVisible());
        QVERIFY(window->legend()->isVisible());
        QCOMPARE(window->lbTopo()->text(), QStringLiteral("    Pacotes disponíveis para download"));

        QTableWidget *grid = window->qgVersoes();
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->item(2, 0)->text(), QStringLiteral("3.0.0"));
        QStringList headers;
        for (int column = 0; column < grid->columnCount(); ++column) {
            if (!grid->isColumnHidden(column))
                headers << grid->horizontalHeaderItem(column)->text();
        }
        QCOMPARE(headers, (QStringList{"Versão", "PRODUCAO", "HOMOLOG", "Tamanho", "Baixar Pacote", "Info"}));
        // At least 40 pixels, and the whole alias readable in the caption.
        for (int column : {1, 2}) {
            QVERIFY(grid->columnWidth(column) >= 40);
            QVERIFY(grid->columnWidth(column)
                    > grid->horizontalHeader()->fontMetrics().horizontalAdvance(headers[column]));
        }
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("2.1.1"));
        QVERIFY(grid->item(1, 6)->text().startsWith(QStringLiteral("2")));
        QVERIFY(grid->item(1, 6)->text().endsWith(QStringLiteral("5 Mb")));
        QVERIFY(!window->btCancelar()->isVisible());
        saveShot(*window, QStringLiteral("update-list"));

        // "Baixar Pacote" of 2.1.1: confirmed, downloaded, the window closes.
        ui->answerNext(UserInterface::Yes);
        ui->answerNext(UserInterface::Ok);
        auto *button = qobject_cast<QPushButton *>(grid->cellWidget(1, 7));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(ui->boxes().back().box.caption, QStringLiteral("Download Concluído"));
        QCOMPARE(readAll(site->installerDirectory() + QStringLiteral("Update.pack")), QByteArray("pacote 2.1.1"));
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(window->progressBar()->value(), 12);
    }

    void darnuChainSignsInByItselfAndTheMainWindowReloads()
    {
        // Remembered data, a finished run of the chain, one validated database holding 2.1.0.
        installer->downloadWindow.prepareDatabases = [this] {
            MemTable &dbs = installer->session.cdsDbs;
            dbs.clear();
            dbs.append({{"ALIAS", "PRODUCAO"}, {"IMAGE", 1}, {"MAX_PACK_COMPLETE", 210}});
        };
        site->writeFile(QStringLiteral("installer/Config.ini"),
                        "[SACData]\r\nLogin=maria\r\nPassword=" + QByteArray("segredo").toBase64().toBase64()
                            + "\r\n[AppTivra]\r\nPath=" + site->appDirectory().toUtf8() + "\r\n");
        installer->session.darnuMode = true;
        installer->session.continueChain = true;
        installer->session.downloadPending = true;
        QObject::connect(installer.get(), &Installer::downloadRequested, window.get(), &QDialog::exec);
        ui->allowUnexpected(true);  // the reloaded test package cannot be installed; its box is expected
        QTimer::singleShot(5000, window.get(), &QDialog::reject);  // never hang
        installer->btAtualizacoesClick();
        QCOMPARE(window->result(), int(QDialog::Accepted));
        QCOMPARE(readAll(site->installerDirectory() + QStringLiteral("Update.pack")), QByteArray("pacote 2.1.1"));
        // The main window took the package: the pending flag is cleared and the session is fresh.
        QVERIFY(!installer->session.downloadPending);
        QVERIFY(installer->session.status.logText().join(QString()).contains(QStringLiteral("Atualizador Inicializado")));
        for (const auto &shown : ui->boxes())
            QVERIFY2(shown.box.caption != QStringLiteral("Download Concluído"), "a Darnu download asks nothing");
    }

private:
    std::unique_ptr<testsupport::TestSite> site;
    std::unique_ptr<makersite::LocalMakerSite> server;
    BuildSettings build;
    std::unique_ptr<testsupport::ScriptedUserInterface> ui;
    std::unique_ptr<Installer> installer;
    std::unique_ptr<gui::TfrUpdate> window;
};

QTEST_MAIN(TfrUpdateTest)
#include "tfrupdate_test.moc"
