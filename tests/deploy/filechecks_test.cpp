#include "deploytest.h"

#include "deploy/fileaccess.h"
#include "deploy/filechecks.h"

namespace tivra::deploytest {
namespace {

using testsupport::FileHolder;

class FileChecksTest : public DeployTest {
protected:
    QString inUseLine(const QString &file) const
    {
        return QStringLiteral("Arquivo \"") + file
            + QStringLiteral("\" está em uso, impossibilitando a atualização. Você pode remover temporariamente o "
                             "compartilhamento da pasta \"")
            + site.appDirectory() + QStringLiteral("\" até a conclusão da instalação.");
    }
};

TEST_F(FileChecksTest, WritePermissionCreatesAndRemovesTheProbeFile)
{
    const QString folder = root(QStringLiteral("Destino"));
    QDir().mkpath(folder);
    EXPECT_TRUE(CheckPermissaoEscrita(session, folder, true));
    EXPECT_TRUE(CheckPermissaoEscrita(session, folder + QLatin1Char('/'), true));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/chk.tmp")));

    // A left-over probe file, a missing folder: no permission, and nothing logged.
    site.writeFile(QStringLiteral("Destino/chk.tmp"), "left over");
    EXPECT_FALSE(CheckPermissaoEscrita(session, folder, true));
    EXPECT_EQ(testsupport::readAll(folder + QStringLiteral("/chk.tmp")), QByteArray("left over"));
    EXPECT_FALSE(CheckPermissaoEscrita(session, root(QStringLiteral("Falta")), true));
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(FileChecksTest, WritePermissionIsRefusedWithoutRights)
{
    TIVRA_SKIP_ON_WINDOWS_PERMISSIONS();
    testsupport::openToEveryone(site.root());
    const QString folder = root(QStringLiteral("SoLeitura"));
    QDir().mkpath(folder);  // owned by this user, not writable by others
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    const int result = testsupport::runUnprivileged([&] { return CheckPermissaoEscrita(session, folder, false) ? 1 : 0; });
    EXPECT_EQ(result, 0);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

TEST_F(FileChecksTest, NoFileInUse)
{
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"),
                                    QStringLiteral("AppTivra\\Producao\\Bin\\Falta.dll")};
    site.writeFile(QStringLiteral("Sistema/AppTivra/Producao/Bin/App.dll"), "app");
    EXPECT_FALSE(CheckArquivosEmUso(session, session.pathAppTivra, true));
    EXPECT_TRUE(log().isEmpty());
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(FileChecksTest, ReadOnlyFileIsInUseAndOnlyTheFirstIsNamed)
{
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\Livre.dll"), QStringLiteral("AppTivra\\Bin\\A.dll"),
                                    QStringLiteral("AppTivra\\Bin\\B.dll")};
    site.writeFile(QStringLiteral("Sistema/AppTivra/Livre.dll"), "free");
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Sistema/AppTivra/Bin/A.dll"), "a"), true);
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Sistema/AppTivra/Bin/B.dll"), "b"), true);
    EXPECT_TRUE(FileInUse(app(QStringLiteral("Bin/A.dll"))));
    EXPECT_FALSE(FileInUse(app(QStringLiteral("Livre.dll"))));

    EXPECT_TRUE(CheckArquivosEmUso(session, session.pathAppTivra, false));  // logged whatever the flag
    EXPECT_EQ(log(), QStringList{inUseLine(app(QStringLiteral("Bin/A.dll")))});
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(FileChecksTest, FilesHeldByAnotherProgram)
{
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\Producao\\Bin\\Servidor.dll")};
    const QString file = site.writeFile(QStringLiteral("Sistema/AppTivra/Producao/Bin/Servidor.dll"), "server");
    {
        FileHolder holder(file, FileHolder::Mode::Open);
        ASSERT_TRUE(holder.holding());
        EXPECT_TRUE(CheckArquivosEmUso(session, session.pathAppTivra, true));
        EXPECT_EQ(log(), QStringList{inUseLine(file)});
    }
    EXPECT_FALSE(CheckArquivosEmUso(session, session.pathAppTivra, true));
    {
        // A loaded library: mapped into the program, no descriptor left open.
        FileHolder holder(file, FileHolder::Mode::Mapped);
        ASSERT_TRUE(holder.holding());
        EXPECT_TRUE(FileInUse(file));
    }
}

TEST_F(FileChecksTest, LockedFilesAreInUseEvenWhereTheHolderCannotBeSeen)
{
    // Without administrator rights the other programs' open files cannot be listed: only their
    // locks tell that they hold a file.
    testsupport::openToEveryone(site.root());
    for (const QString &folder : {QStringLiteral("Sistema"), QStringLiteral("Sistema/AppTivra")})
        testsupport::openToEveryone(root(folder));
    const QString flocked = site.writeFile(QStringLiteral("Sistema/AppTivra/Flock.dll"), "a");
    const QString recordLocked = site.writeFile(QStringLiteral("Sistema/AppTivra/Registro.dll"), "b");
    const QString free = site.writeFile(QStringLiteral("Sistema/AppTivra/Livre.dll"), "c");
    for (const QString &file : {flocked, recordLocked, free})
        ::chmod(QFile::encodeName(file).constData(), 0666);
    FileHolder flockHolder(flocked, FileHolder::Mode::Flocked);
    FileHolder recordHolder(recordLocked, FileHolder::Mode::RecordLocked);
    ASSERT_TRUE(flockHolder.holding() && recordHolder.holding());
    const int result = testsupport::runUnprivileged(
        [&] { return (FileInUse(flocked) ? 1 : 0) | (FileInUse(recordLocked) ? 2 : 0) | (FileInUse(free) ? 4 : 0); });
    EXPECT_EQ(result, 3);
}

TEST_F(FileChecksTest, IgnoreFileUseSwitchClearsEveryFile)
{
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\A.dll"), QStringLiteral("AppTivra\\B.dll")};
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Sistema/AppTivra/A.dll"), "a"), true);
    const QString held = site.writeFile(QStringLiteral("Sistema/AppTivra/B.dll"), "b");
    FileHolder holder(held, FileHolder::Mode::Open);
    ASSERT_TRUE(holder.holding());
    platform::setCommandLineArguments({QStringLiteral("/ignorefileuse")});
    EXPECT_FALSE(CheckArquivosEmUso(session, session.pathAppTivra, true));
    EXPECT_FALSE(FileInUse(held));
    EXPECT_TRUE(log().isEmpty());
    // The switch must be given exactly.
    platform::setCommandLineArguments({QStringLiteral("/IgnoreFileUse")});
    EXPECT_TRUE(CheckArquivosEmUso(session, session.pathAppTivra, true));
}

TEST_F(FileChecksTest, DirectoryWithoutAppTivraTestsEntriesAgainstTheCurrentFolder)
{
    session.package.binaryToCopy = {QStringLiteral("AppTivra\\Bin\\A.dll")};
    testsupport::setReadOnly(site.writeFile(QStringLiteral("Atual/AppTivra/Bin/A.dll"), "a"), true);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root(QStringLiteral("Atual"))));
    session.pathAppTivra = root(QStringLiteral("Sistema/apptivra"));  // other case: not the name
    const bool inUse = CheckArquivosEmUso(session, session.pathAppTivra, true);
    QDir::setCurrent(previous);
    EXPECT_TRUE(inUse);
    ASSERT_EQ(log().size(), 1);
    EXPECT_TRUE(log().first().startsWith(QStringLiteral("Arquivo \"AppTivra/Bin/A.dll\" está em uso")));
}

TEST_F(FileChecksTest, FileBehindAFolderWithoutAccessCannotBeFree)
{
    TIVRA_SKIP_ON_WINDOWS_PERMISSIONS();
    testsupport::openToEveryone(site.root());
    for (const QString &folder : {QStringLiteral("Sistema"), QStringLiteral("Sistema/AppTivra")})
        ::chmod(QFile::encodeName(root(folder)).constData(), 0755);
    const QString file = site.writeFile(QStringLiteral("Sistema/AppTivra/Fechada/A.dll"), "a");
    ::chmod(QFile::encodeName(app(QStringLiteral("Fechada"))).constData(), 0700);
    const QString missing = app(QStringLiteral("Falta.dll"));
    const int result = testsupport::runUnprivileged([&] { return (FileInUse(file) ? 1 : 0) | (FileInUse(missing) ? 2 : 0); });
    EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace tivra::deploytest
