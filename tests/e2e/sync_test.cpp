// The real installer run with /sync:ORIGIN /to:DEST... /quiet on generated application
// directories: a newer file kept in a destination, a file held open, a destination inside the
// origin, another installer holding the folder, and the exit statuses.
#include "platform/textfile.h"
#include "support/deployfixtures.h"
#include "support/pewriter.h"
#include "installerprocess.h"
#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
class QuietSync : public testsupport::InstallerProcessTest {
protected:
    void SetUp() override
    {
        installInstaller();
        origin = app("Srv1/AppTivra");
        testsupport::writeVersionedFile(origin + "/Producao/Bin/App.dll", 2, 4, 107, 0);
        testsupport::writeVersionedFile(origin + "/Producao/Bin/Aberto.dll", 2, 4, 107, 0);
        site.writeFile("Srv1/AppTivra/Executaveis/Versoes.ini", "[Aliases]\r\n");
    }

    // The synchronisation has no system folder and no COM+ catalog stand-in to work with.
    void adjustEnvironment(QProcessEnvironment &env) override
    {
        env.remove("TIVRA_SYSTEM_DIR");
        env.remove("TIVRA_COMPLUS_CATALOG");
    }

    QString app(const QString &relative) const
    {
        const QString folder = site.root() + "/" + relative;
        QDir().mkpath(folder + "/Producao");
        return folder;
    }

    // Runs the installer; its standard output lands in lines, one entry per line.
    int run(const QStringList &arguments)
    {
        const int status = runInstaller(arguments);
        lines = out.split('\n', Qt::SkipEmptyParts);
        return status;
    }

    QString origin;
    QStringList lines;
};
}  // namespace

TEST_F(QuietSync, NewerFilesAndFilesHeldOpenStayAndEveryDestinationIsCopied)
{
    const QString second = app("Srv2/AppTivra");
    testsupport::writeVersionedFile(second + "/Producao/Bin/App.dll", 3, 4, 107, 0);  // 341070 > 241070
    const QByteArray newer = testsupport::readAll(second + "/Producao/Bin/App.dll");
    const QString held = site.writeFile("Srv2/AppTivra/Producao/Bin/Aberto.dll", "em uso");
    const QString third = app("Srv3/AppTivra");
    testsupport::FileHolder holder(held, testsupport::FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());

    EXPECT_EQ(run({"/sync:" + origin, "/to:" + second, "/to:" + third, "/quiet"}), 0) << err.toStdString();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Diretório \"" + second + "\" - Concluído (Arquivo(s) em uso não atualizado(s): "));
    EXPECT_TRUE(lines[0].contains("Aberto.dll"));
    EXPECT_EQ(lines[1], "Diretório \"" + third + "\" - Concluído");
    EXPECT_EQ(lines[2], "Sincronização de Arquivos Concluída!");
    EXPECT_EQ(testsupport::readAll(second + "/Producao/Bin/App.dll"), newer);
    EXPECT_EQ(testsupport::readAll(held), QByteArray("em uso"));
    EXPECT_EQ(testsupport::readAll(third + "/Producao/Bin/App.dll"), testsupport::readAll(origin + "/Producao/Bin/App.dll"));
    EXPECT_EQ(testsupport::readAll(third + "/Executaveis/Versoes.ini"), QByteArray("[Aliases]\r\n"));
    EXPECT_FALSE(QFileInfo::exists(site.installerDirectory() + "Log/LogSincronizacao.txt"));
}

TEST_F(QuietSync, ADestinationInsideTheOriginCopiesNothing)
{
    const QString inside = app("Srv1/AppTivra/Backup/AppTivra");
    const QString other = app("Srv2/AppTivra");
    EXPECT_EQ(run({"/sync:" + origin, "/to:" + other, "/to:" + inside, "/quiet"}), 1);
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains("Não sincronizado"));
    EXPECT_TRUE(lines[1].startsWith("Diretório \"" + inside + "\" - Reprovado: "));
    EXPECT_TRUE(lines[1].contains("está dentro do diretório de origem"));
    EXPECT_FALSE(QFileInfo::exists(other + "/Producao/Bin/App.dll"));
    EXPECT_FALSE(QFileInfo::exists(inside + "/Producao/Bin/App.dll"));
}

TEST_F(QuietSync, AFailedDestinationWritesTheErrorLogAndExitsOne)
{
    testsupport::openToEveryone(site.root());
    const QString good = app("Srv2/AppTivra");
    const QString locked = app("Srv3/AppTivra");
    // The destination folder passes its write test but a file in it cannot be replaced: a folder
    // stands where the origin has a file.
    QDir().mkpath(locked + "/Producao/Bin/App.dll");
    site.writeFile("Srv3/AppTivra/Producao/Bin/App.dll/x", "x");
    EXPECT_EQ(run({"/sync:" + origin, "/to:" + locked, "/to:" + good, "/quiet"}), 1) << err.toStdString();
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Diretório \"" + locked + "\" - Erro: "));
    EXPECT_EQ(lines[1], "Diretório \"" + good + "\" - Concluído");
    const QString log = site.installerDirectory() + "Log/LogSincronizacao.txt";
    EXPECT_EQ(lines[2], "Log de erros: " + log);
    const QStringList lines = platform::readTextLines(log);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Erro(s) gerado(s) durante a sincronização:");
    EXPECT_TRUE(lines[1].startsWith("Diretório \"" + locked + "\" - "));
    EXPECT_TRUE(testsupport::readAll(log).startsWith("Erro(s) gerado(s) durante a sincroniza\xe7\xe3o:\r\n"));
}

TEST_F(QuietSync, AnotherInstallerInTheFolderOrABadCommandLineCopiesNothing)
{
    const QString other = app("Srv2/AppTivra");
    QLockFile first(site.installerDirectory() + "tivra-installer.lock");
    ASSERT_TRUE(first.tryLock(0));
    EXPECT_EQ(run({"/sync:" + origin, "/to:" + other, "/quiet"}), 1);
    EXPECT_TRUE(err.contains("Instalador em execução")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(other + "/Producao/Bin/App.dll"));
    first.unlock();

    EXPECT_EQ(run({"/sync:" + origin, "/quiet"}), 1);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("Uso: tivra-installer /sync:ORIGEM"));
}
