// The package download window's behaviour against a local maker's site on 127.0.0.1: sign-in,
// the listing for the user's customer with the installed columns, downloads that replace
// Update.pack only when complete (and signed, when the build asks for it), the description, the
// import from disk, the remembered sign-in data and the Darnu chain.
#include "makersite.h"
#include "core/session.h"
#include "remote/packagedownload.h"
#include "remote/signature.h"
#include "signingkey.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSignalSpy>
#include <gtest/gtest.h>


using namespace tivra;
using makersite::LocalMakerSite;
using testsupport::ScriptedUserInterface;

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

const QByteArray kFormer = "former package \x01\x02 bytes";

class DownloadWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        build = BuildSettings::compiled();
        build.makerSite = server.siteAddress();
        build.packageRepository = server.repositoryAddress();
        build.userListToken = QStringLiteral("tvrk");
        build.sacMasterPassword.clear();
        build.signingPublicKey.clear();
        session = std::make_unique<InstallerSession>(ui, build);
        session->installerDirectory = site.installerDirectory();
        QDir().mkpath(site.installerDirectory());
        site.writeVersoesIni("[Aliases]\r\n");
        window = std::make_unique<remote::PackageDownloadWindow>(*session);
        window->prepareDatabases = [this] {
            MemTable &dbs = session->cdsDbs;
            dbs.clear();
            for (const auto &[alias, image, max] : databases)
                dbs.append({{"ALIAS", alias}, {"IMAGE", image}, {"MAX_PACK_COMPLETE", max}});
        };
        write("users.txt", QStringLiteral("MARIA,%1,C01<BR>JOAO,%1,C02<BR>").arg(remote::md5Hex("segredo")).toLatin1());
        write("repo/Versoes.txt", "2.1.1=2000000=Todos=x=S\r\n"
                                  "2.1.0=1000000=Todos=x=S\r\n"
                                  "3.10.0=999999=C01;C02=x=S\r\n"
                                  "3.9.9=5=C02=x=S\r\n"
                                  "4.0.0=1=Todos=x=N\r\n"
                                  "0=1=Todos=x=S\r\n");
        write("repo/2.1.1/Update.pack", newPackage);
        write("repo/2.1.1/ChangeLog.txt", "Corre\xe7\xf5" "es da 2.1.1");
        site.writeFile(QStringLiteral("installer/Update.pack"), kFormer);
        window->FormCreate();
    }

    void write(const QString &relative, const QByteArray &bytes)
    {
        site.writeFile(QStringLiteral("site/") + relative, bytes);
    }
    QString packagePath() const { return site.installerDirectory() + QStringLiteral("Update.pack"); }
    int rowOf(const QString &version) const
    {
        for (int row = 0; row < window->cdsVersoes.count(); ++row) {
            if (window->cdsVersoes.text(row, "VERSAO") == version)
                return row;
        }
        return -1;
    }
    void signIn(const QString &user = QStringLiteral("maria"))
    {
        window->FormShow();
        window->edUsuarioSAC = user;
        window->edSenhaSAC = QStringLiteral("segredo");
        window->edDirAppTivra = site.appDirectory();
        window->btAuthClick();
    }
    QStringList installerFiles() const { return QDir(site.installerDirectory()).entryList(QDir::Files); }

    testsupport::TestSite site;
    LocalMakerSite server{site.root() + QStringLiteral("/site"), QStringLiteral("tvrk")};
    BuildSettings build;
    ScriptedUserInterface ui;
    std::unique_ptr<InstallerSession> session;
    std::unique_ptr<remote::PackageDownloadWindow> window;
    std::vector<std::tuple<QString, int, int>> databases{{"PROD", 1, 210}, {"FALHOU", 2, 0}, {"TESTE", 1, 0}};
    QByteArray newPackage = QByteArray(200 * 1024, 'n') + "end";
};
}  // namespace

TEST_F(DownloadWindowTest, SignInListsTheCustomersVersionsWithTheInstalledColumns)
{
    window->FormShow();
    EXPECT_TRUE(window->authPanelVisible);
    EXPECT_EQ(window->topCaption, QStringLiteral("Efetue a autenticação com seu usuário e senha do SAC"));
    EXPECT_FALSE(window->cbLembrarDados);  // no settings file yet

    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].box.text, QStringLiteral("Informe o usuário e senha utilizados no SAC!"));
    EXPECT_EQ(ui.boxes()[0].box.caption, QStringLiteral("Aviso"));

    window->edUsuarioSAC = QStringLiteral("maria");
    window->edSenhaSAC = QStringLiteral("errada");
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Usuário ou senha inválido!"));

    window->edSenhaSAC = QStringLiteral(" segredo ");
    QSignalSpy focus(window.get(), &remote::PackageDownloadWindow::focusDirectoryRequested);
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("Informe o diretório AppTivra para verificação das atualizações já realizadas!"));
    EXPECT_EQ(focus.count(), 1);
    ui.clearBoxes();

    window->edDirAppTivra = site.appDirectory();
    window->cbLembrarDados = true;
    window->versaoPacoteCarregado = QStringLiteral("2.1.0");
    window->btAuthClick();
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_EQ(window->codigoClienteSAC, QStringLiteral("C01"));
    EXPECT_EQ(session->pathAppTivra, site.appDirectory());
    EXPECT_FALSE(window->authPanelVisible);
    EXPECT_EQ(window->topCaption, QStringLiteral("    Pacotes disponíveis para download"));
    EXPECT_TRUE(window->legendVisible);
    // Two validated databases get the first two columns.
    EXPECT_TRUE(window->aliasColumns[0].visible);
    EXPECT_EQ(window->aliasColumns[0].caption, QStringLiteral("PROD"));
    EXPECT_EQ(window->aliasColumns[1].caption, QStringLiteral("TESTE"));
    EXPECT_FALSE(window->aliasColumns[2].visible);

    // Published, for everybody or for C01, ordered by number; 3.9.9 is C02's only.
    const MemTable &rows = window->cdsVersoes;
    ASSERT_EQ(rows.count(), 4);
    EXPECT_EQ(rows.text(0, "VERSAO"), QStringLiteral("0"));
    EXPECT_EQ(rows.text(1, "VERSAO"), QStringLiteral("2.1.0 (atual)"));
    EXPECT_EQ(rows.text(2, "VERSAO"), QStringLiteral("2.1.1"));
    EXPECT_EQ(rows.text(3, "VERSAO"), QStringLiteral("3.10.0"));
    EXPECT_EQ(rows.integer(3, "VERSAO_INT"), 3100);
    EXPECT_EQ(window->currentRow, 3);
    const QString separator = QLocale::system().decimalPoint();
    EXPECT_EQ(rows.text(1, "SIZE"), QStringLiteral("1 Mb"));
    EXPECT_EQ(rows.text(3, "SIZE"), QStringLiteral("0") + separator + QStringLiteral("99 Mb"));
    EXPECT_EQ(rows.integer(2, "SIZE_INT"), 2000000);
    EXPECT_EQ(rows.text(2, "LINK"), server.repositoryAddress() + QStringLiteral("2.1.1/Update.pack"));
    EXPECT_EQ(rows.text(2, "CHANGELOG"), server.repositoryAddress() + QStringLiteral("2.1.1/ChangeLog.txt"));
    // PROD holds 210: 2.1.0 installed, 2.1.1 not; version 0 never; TESTE holds nothing.
    EXPECT_EQ(rows.integer(0, "ALIAS1"), 0);
    EXPECT_EQ(rows.integer(1, "ALIAS1"), 1);
    EXPECT_EQ(rows.integer(2, "ALIAS1"), 0);
    EXPECT_EQ(rows.integer(1, "ALIAS2"), 0);

    // Remembered data: twice Base64, read back on the next showing.
    const QByteArray settings = readAll(window->settingsFile());
    EXPECT_TRUE(settings.contains("Login=maria")) << settings.constData();
    EXPECT_TRUE(settings.contains(QByteArray(QByteArray("Password=") + QByteArray("segredo").toBase64().toBase64())));
    EXPECT_FALSE(settings.contains("segredo"));
    window->FormShow();
    EXPECT_TRUE(window->cbLembrarDados);
    EXPECT_EQ(window->edUsuarioSAC, QStringLiteral("maria"));
    EXPECT_EQ(window->edSenhaSAC, QStringLiteral("segredo"));
    EXPECT_EQ(window->edDirAppTivra, site.appDirectory());
    EXPECT_TRUE(window->authPanelVisible);
    EXPECT_EQ(window->cdsVersoes.count(), 0);
    // Unchecked: signing in deletes the settings file.
    window->cbLembrarDados = false;
    window->btAuthClick();
    EXPECT_FALSE(QFile::exists(window->settingsFile()));
    // Nothing of the password reached the log.
    EXPECT_FALSE(session->status.logText().join(QString()).contains(QStringLiteral("segredo")));
}

TEST_F(DownloadWindowTest, AnAccentedPasswordSignsInAgainstTheSitesSingleByteDigest)
{
    // The site's list holds the MD5 of "Ação2024" as Windows-1252 text, and a user name with an
    // accent in the same single-byte text.
    write("users.txt", "JO\xc3O,7bbc8a9793eeb48b209f0c0f5f3621c5,C01<BR>");
    window->FormShow();
    window->edUsuarioSAC = QString::fromUtf8("João");
    window->edSenhaSAC = QString::fromUtf8("Ação2024");
    window->edDirAppTivra = site.appDirectory();
    window->btAuthClick();
    EXPECT_TRUE(ui.boxes().empty()) << ui.boxes().front().box.text.toStdString();
    EXPECT_EQ(window->codigoClienteSAC, QStringLiteral("C01"));
    EXPECT_FALSE(window->authPanelVisible);
}

TEST_F(DownloadWindowTest, UserListErrorsAndListingFaultsAreBoundedAndClear)
{
    // An error page instead of the list: nobody signs in.
    write("users.txt", "");
    window->FormShow();
    window->edUsuarioSAC = QStringLiteral("maria");
    window->edSenhaSAC = QStringLiteral("segredo");
    window->edDirAppTivra = site.appDirectory();
    build.userListToken = QStringLiteral("xxxx");  // the site answers 403 with a page
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Usuário ou senha inválido!"));
    build.userListToken = QStringLiteral("tvrk");
    ui.clearBoxes();

    // Master password set: any listed name signs in with it.
    write("users.txt", "MARIA,0123,C01<BR>");
    build.sacMasterPassword = QStringLiteral("MASTER12345");
    window->edSenhaSAC = QStringLiteral("MASTER12345");
    // A listing of more than a megabyte is refused, the grid stays empty; a bad version line is
    // named and skipped.
    write("repo/Versoes.txt", QByteArray("1.0.0=1=Todos=x=S\r\n").repeated(60000));
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    EXPECT_EQ(window->codigoClienteSAC, QStringLiteral("C01"));
    EXPECT_EQ(window->cdsVersoes.count(), 0);
    write("repo/Versoes.txt", "1.x=1=Todos=x=S\r\n1.0.1=12=Todos=x=S\r\n\x01\x02\xff=====\r\n");
    ui.clearBoxes();
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    ASSERT_EQ(window->cdsVersoes.count(), 1);
    EXPECT_EQ(window->cdsVersoes.text(0, "VERSAO"), QStringLiteral("1.0.1"));
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_TRUE(ui.boxes()[0].box.text.contains(QStringLiteral("linha 1: \"1.x\""))) << ui.boxes()[0].box.text.toStdString();
    // Master password empty: refused.
    build.sacMasterPassword.clear();
    ui.answerNext(UserInterface::Ok);
    window->btAuthClick();
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Usuário ou senha inválido!"));
}

TEST_F(DownloadWindowTest, DownloadsReplaceUpdatePackOnlyWhenComplete)
{
    window->versaoPacoteCarregado = QStringLiteral("2.1.0");
    signIn();
    QSignalSpy closed(window.get(), &remote::PackageDownloadWindow::closeRequested);

    // Equal and lower versions ask; No changes nothing.
    ui.answerNext(UserInterface::No);
    window->qgVersoesColumn2ButtonClick(rowOf("2.1.0 (atual)"));
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("A versão selecionada é a mesma do pacote carregado pelo instalador. Baixar assim mesmo?"));
    EXPECT_EQ(ui.boxes().back().box.caption, QStringLiteral("Confirmar"));
    ui.answerNext(UserInterface::No);
    window->qgVersoesColumn2ButtonClick(rowOf("0"));
    EXPECT_TRUE(ui.boxes().back().box.text.startsWith(QStringLiteral("Você está tentando baixar uma versão inferior")));

    // Missing on the server, cut half-way, stalled, cancelled: the former package stays byte for
    // byte, no temporary file stays, the window stays open.
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(rowOf("3.10.0"));
    EXPECT_EQ(ui.boxes()[ui.boxes().size() - 2].box.text, QStringLiteral("Confirma o download da versão \"3.10.0\"?"));
    EXPECT_TRUE(ui.boxes().back().box.text.startsWith(QStringLiteral("Erro durante o download do pacote")));
    const int row = rowOf("2.1.1");
    window->cdsVersoes.setValue(row, "LINK", QString(server.siteAddress() + QStringLiteral("misbehave/halfway")));
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    window->cdsVersoes.setValue(row, "LINK", QString(server.siteAddress() + QStringLiteral("misbehave/silent")));
    window->downloadOptions.stallTimeoutS = 1;
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("O pacote atual do instalador foi mantido")));
    window->cdsVersoes.setValue(row, "LINK", QString(server.repositoryAddress() + QStringLiteral("2.1.1/Update.pack")));
    window->downloadOptions.pump = [this] { window->cancelDownload(); };
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Download cancelado. O pacote atual do instalador foi mantido."));
    EXPECT_EQ(readAll(packagePath()), kFormer);
    EXPECT_EQ(installerFiles(), QStringList{"Update.pack"});
    EXPECT_FALSE(window->novoPacote);
    EXPECT_EQ(closed.count(), 0);

    // Complete: the package is replaced, the log says so, the window closes.
    window->downloadOptions.pump = nullptr;
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_EQ(ui.boxes().back().box.caption, QStringLiteral("Download Concluído"));
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("Download Concluído! O novo pacote de atualização (2.1.1) será carregado agora."));
    EXPECT_EQ(readAll(packagePath()), newPackage);
    EXPECT_TRUE(window->novoPacote);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(window->progressPosition, newPackage.size());
    EXPECT_TRUE(session->status.logText().join(QString()).contains(
        QStringLiteral("Pacote de Atualização do Instalador alterado para a versão \"2.1.1\".")));
    EXPECT_FALSE(QFile::exists(site.installerDirectory() + QStringLiteral("Update.tmp")));
}

// A download brings at most the size the listing announces (with a small margin), or a fixed
// ceiling where it announces none; a folder without room for it is said so before anything starts.
TEST_F(DownloadWindowTest, DownloadsAreBoundedBySizeAndNeedTheRoomTheyAnnounce)
{
    window->versaoPacoteCarregado = QStringLiteral("2.1.0");
    signIn();
    const int row = rowOf("2.1.1");  // announced 2 000 000 bytes
    EXPECT_EQ(window->downloadLimit(2000000), 2000000 + 20000 + remote::PackageDownloadWindow::kDownloadMarginBytes);
    EXPECT_EQ(window->downloadLimit(0), window->downloadCeilingBytes);
    const auto download = [&](const QString &link) {
        window->cdsVersoes.setValue(row, "LINK", link);
        ui.answerNext(UserInterface::Yes);
        ui.answerNext(UserInterface::Ok);
        window->qgVersoesColumn2ButtonClick(row);
        return ui.boxes().back().box.text;
    };
    const QString tooLarge = QStringLiteral("a resposta do servidor excede o tamanho esperado");
    // Announces 2 GiB: refused before the first byte.
    QString text = download(server.siteAddress() + QStringLiteral("misbehave/huge"));
    EXPECT_TRUE(text.contains(tooLarge)) << text.toStdString();
    // Announces nothing and never ends: cut off at the listing's size.
    text = download(server.siteAddress() + QStringLiteral("misbehave/endless"));
    EXPECT_TRUE(text.contains(tooLarge)) << text.toStdString();
    // Where the listing gives no size, the ceiling bounds it.
    window->cdsVersoes.setValue(row, "SIZE_INT", 0);
    window->downloadCeilingBytes = 1024 * 1024;
    text = download(server.siteAddress() + QStringLiteral("misbehave/endless"));
    EXPECT_TRUE(text.contains(tooLarge)) << text.toStdString();
    EXPECT_EQ(readAll(packagePath()), kFormer);
    EXPECT_EQ(installerFiles(), QStringList{"Update.pack"});

    // Not enough room: nothing is fetched, and the box says how much is needed and free.
    window->cdsVersoes.setValue(row, "SIZE_INT", 2000000);
    window->cdsVersoes.setValue(row, "LINK", QString(server.repositoryAddress() + QStringLiteral("2.1.1/Update.pack")));
    QStringList asked;
    window->freeSpace = [&asked](const QString &folder) {
        asked << folder;
        return qint64(1500000);
    };
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    const QChar separator = QLocale::system().decimalPoint().at(0);
    EXPECT_EQ(ui.boxes().back().box.text,
              QStringLiteral("Espaço livre insuficiente em \"") + QDir::toNativeSeparators(site.installerDirectory())
                  + QStringLiteral("\" para baixar o pacote 2.1.1: são necessários 2 Mb e há 1") + separator
                  + QStringLiteral("5 Mb livres. O pacote atual do instalador foi mantido."));
    EXPECT_EQ(ui.boxes().back().box.caption, QStringLiteral("Erro"));
    EXPECT_EQ(asked, QStringList{site.installerDirectory()});
    EXPECT_EQ(readAll(packagePath()), kFormer);
    EXPECT_FALSE(window->novoPacote);

    // With room, the same download goes through.
    window->freeSpace = [](const QString &) { return qint64(10) * 1000 * 1000; };
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_EQ(readAll(packagePath()), newPackage);
    EXPECT_TRUE(window->novoPacote);
}

TEST_F(DownloadWindowTest, DescriptionAndImportFromDisk)
{
    signIn();
    window->qgVersoesColumn4ButtonClick(rowOf("2.1.1"));
    ASSERT_EQ(ui.textWindows().size(), 1);
    EXPECT_EQ(ui.textWindows()[0], QStringLiteral("Informações do Pacote - v2.1.1"));
    EXPECT_TRUE(ui.textContents()[0].startsWith(QStringLiteral("Correções da 2.1.1\r\n\r\n______")));
    EXPECT_TRUE(ui.textContents()[0].endsWith(QStringLiteral("\r\n\r\n") + server.repositoryAddress()
                                              + QStringLiteral("2.1.1/Update.pack")));
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn4ButtonClick(rowOf("2.1.0"));
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Não foi possível abrir o arquivo de descrição do pacote."));

    // The installer's own package, or nothing chosen: nothing happens.
    ui.chooseNext(packagePath());
    window->btCopyPacoteClick();
    ui.chooseNext(QString());
    window->btCopyPacoteClick();
    ui.chooseNext(site.installerDirectory() + QStringLiteral("../installer/Update.pack"));
    window->btCopyPacoteClick();
    EXPECT_EQ(readAll(packagePath()), kFormer);
    // Another file, answered No, then Yes.
    const QString other = site.writeFile(QStringLiteral("pendrive/Update.pack"), "imported");
    ui.chooseNext(other);
    ui.answerNext(UserInterface::No);
    window->btCopyPacoteClick();
    EXPECT_EQ(readAll(packagePath()), kFormer);
    ui.chooseNext(other);
    ui.answerNext(UserInterface::Yes);
    ui.answerNext(UserInterface::Ok);
    window->btCopyPacoteClick();
    EXPECT_EQ(ui.boxes().back().box.text, QStringLiteral("Pacote importado com sucesso! Os dados serão carregados agora."));
    EXPECT_EQ(readAll(packagePath()), QByteArray("imported"));
    EXPECT_TRUE(window->novoPacote);
}

TEST_F(DownloadWindowTest, DarnuChainFetchesTheFirstVersionNotInstalled)
{
    databases = {{"PROD", 1, 210}};
    // 2.1.1 announces its real size: a download is bounded by it.
    write("repo/Versoes.txt", "2.1.0=10=Todos=x=S\r\n2.1.1=" + QByteArray::number(newPackage.size()) + "=C01=x=S\r\n2.2.0=10=Todos=x=S\r\n");
    // Remembered data from an earlier sign-in.
    window->FormShow();
    window->edUsuarioSAC = QStringLiteral("maria");
    window->edSenhaSAC = QStringLiteral("segredo");
    window->edDirAppTivra = site.appDirectory();
    window->cbLembrarDados = true;
    window->SalvaDadosAcesso();

    session->darnuMode = true;
    session->continueChain = true;
    // The first link of a chain in this process has no customer code yet: it asks the list.
    EXPECT_TRUE(window->codigoClienteSAC.isEmpty());
    window->FormShow();
    QFile::remove(site.root() + QStringLiteral("/site/repo/2.1.1/Update.pack"));
    ui.answerNext(UserInterface::Ok);  // 2.1.1 (C01's) is the next one; its download fails here
    window->Timer1Timer();
    EXPECT_EQ(window->codigoClienteSAC, QStringLiteral("C01"));
    EXPECT_EQ(rowOf("2.1.1"), 1);
    EXPECT_EQ(readAll(packagePath()), kFormer);
    write("repo/2.1.1/Update.pack", newPackage);
    ui.clearBoxes();
    write("users.txt", "");  // later links sign in without the list
    // A local copy of the next version, relative to the current folder, is taken first.
    const QString local = site.writeFile(QStringLiteral("cwd/2.1.1/Update.pack"), "local 2.1.1");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(site.root() + QStringLiteral("/cwd"));
    QSignalSpy closed(window.get(), &remote::PackageDownloadWindow::closeRequested);
    window->FormShow();
    EXPECT_TRUE(window->timer1Enabled);
    window->Timer1Timer();
    EXPECT_FALSE(window->timer1Enabled);
    EXPECT_EQ(readAll(packagePath()), QByteArray("local 2.1.1"));
    EXPECT_TRUE(window->novoPacote);
    EXPECT_EQ(closed.count(), 1);

    // Without a local copy it is downloaded, without any box.
    QFile::remove(local);
    window->FormShow();
    window->Timer1Timer();
    EXPECT_EQ(readAll(packagePath()), newPackage);
    EXPECT_EQ(closed.count(), 2);
    EXPECT_TRUE(ui.boxes().empty());
    QDir::setCurrent(previous);

    // Not remembered: the timer does nothing.
    window->cbLembrarDados = false;
    window->SalvaDadosAcesso();
    window->FormShow();
    window->Timer1Timer();
    EXPECT_EQ(closed.count(), 2);
}


TEST_F(DownloadWindowTest, SignedBuildsAcceptOnlyValidSignatures)
{
    const QString pem = site.root() + QStringLiteral("/signing.pem");
    const QByteArray publicKey = makeKey(pem);
    const QString packageOnSite = site.root() + QStringLiteral("/site/repo/2.1.1/Update.pack");
    QString error;
    const QByteArray signature = remote::signFileEd25519(pem, packageOnSite, &error);
    ASSERT_EQ(signature.size(), 64) << error.toStdString();
    EXPECT_TRUE(remote::verifyEd25519(publicKey, newPackage, signature));
    EXPECT_FALSE(remote::verifyEd25519(publicKey, newPackage + "x", signature));
    EXPECT_FALSE(remote::verifyEd25519(publicKey.left(31), newPackage, signature));
    EXPECT_TRUE(remote::signFileEd25519(site.root() + "/nao-existe.pem", packageOnSite, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());

    build.signingPublicKey = publicKey;
    signIn();
    const int row = rowOf("2.1.1");
    // Missing signature: refused, nothing changed.
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("não tem assinatura publicada")));
    // A signature of other bytes (a tampered package): refused.
    write("repo/2.1.1/Update.pack.sig", remote::signFileEd25519(pem, pem, &error));
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_TRUE(ui.boxes().back().box.text.contains(QStringLiteral("assinatura inválida")));
    EXPECT_EQ(readAll(packagePath()), kFormer);
    EXPECT_FALSE(window->novoPacote);
    EXPECT_EQ(installerFiles(), QStringList{"Update.pack"});
    // The right signature: accepted.
    write("repo/2.1.1/Update.pack.sig", signature);
    ui.answerNext(UserInterface::Ok);
    window->qgVersoesColumn2ButtonClick(row);
    EXPECT_EQ(readAll(packagePath()), newPackage);

    // Without a key nothing is asked for, even a bad signature is not fetched.
    EXPECT_EQ(remote::checkDownloadedSignature({}, packagePath(), server.repositoryAddress() + "x.sig"),
              remote::SignatureOutcome::NotRequired);
}

// A signed build checks a package taken from disk like a download: an import and a local copy of
// a chain need the signature beside them (Update.pack.sig).
TEST_F(DownloadWindowTest, SignedBuildsCheckPackagesTakenFromDiskToo)
{
    const QString pem = site.root() + QStringLiteral("/signing.pem");
    build.signingPublicKey = makeKey(pem);
    QString error;
    signIn();

    const QString other = site.writeFile(QStringLiteral("pendrive/Update.pack"), "imported");
    const auto import = [&] {
        ui.chooseNext(other);
        ui.answerNext(UserInterface::Yes);
        ui.answerNext(UserInterface::Ok);
        window->btCopyPacoteClick();
        return ui.boxes().back().box.text;
    };
    EXPECT_EQ(import(), QStringLiteral("O pacote \"") + QDir::toNativeSeparators(other)
                            + QStringLiteral("\" não tem assinatura (o arquivo \"Update.pack.sig\" ao lado dele) e foi recusado. "
                                             "O pacote atual do instalador foi mantido."));
    site.writeFile(QStringLiteral("pendrive/Update.pack.sig"), remote::signFileEd25519(pem, pem, &error));
    EXPECT_TRUE(import().contains(QStringLiteral("tem assinatura inválida")));
    EXPECT_EQ(readAll(packagePath()), kFormer);
    EXPECT_FALSE(window->novoPacote);
    EXPECT_EQ(installerFiles(), QStringList{"Update.pack"});
    site.writeFile(QStringLiteral("pendrive/Update.pack.sig"), remote::signFileEd25519(pem, other, &error));
    EXPECT_EQ(import(), QStringLiteral("Pacote importado com sucesso! Os dados serão carregados agora."));
    EXPECT_EQ(readAll(packagePath()), QByteArray("imported"));

    // A chain's local copy with a wrong signature is refused and the version is downloaded
    // instead, checked as every download.
    databases = {{"PROD", 1, 210}};
    write("repo/Versoes.txt", "2.1.0=10=Todos=x=S\r\n2.1.1=" + QByteArray::number(newPackage.size()) + "=C01=x=S\r\n");
    write("repo/2.1.1/Update.pack.sig", remote::signFileEd25519(pem, site.root() + QStringLiteral("/site/repo/2.1.1/Update.pack"), &error));
    window->cbLembrarDados = true;
    window->SalvaDadosAcesso();
    window->novoPacote = false;
    session->darnuMode = true;
    session->continueChain = true;
    const QString local = site.writeFile(QStringLiteral("cwd/2.1.1/Update.pack"), "local 2.1.1");
    site.writeFile(QStringLiteral("cwd/2.1.1/Update.pack.sig"), QByteArray(64, 's'));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(site.root() + QStringLiteral("/cwd"));
    ui.clearBoxes();
    ui.answerNext(UserInterface::Ok);
    window->FormShow();
    window->Timer1Timer();
    QDir::setCurrent(previous);
    ASSERT_FALSE(ui.boxes().empty());
    EXPECT_TRUE(ui.boxes().front().box.text.startsWith(QStringLiteral("O pacote \"") + QDir::toNativeSeparators(local)))
        << ui.boxes().front().box.text.toStdString();
    EXPECT_EQ(readAll(packagePath()), newPackage);
    EXPECT_TRUE(window->novoPacote);
}
