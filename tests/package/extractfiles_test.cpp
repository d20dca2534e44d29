#include "package/extractfiles.h"
#include "package/packagearchive.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include "core/session.h"

#include <gtest/gtest.h>

namespace tivra {
namespace {

using namespace packagetest;
using testsupport::PackageBuilder;

class ExtractFilesTest : public ::testing::Test {
protected:
    ExtractFilesTest() : m_session(m_ui)
    {
        m_session.installerDirectory = m_site.installerDirectory();
        m_session.workingFolder = m_session.installerDirectory + QStringLiteral("tmp");
    }

    // Grid rows as "image|text", each with the image it was reported with.
    QStringList rows()
    {
        m_session.status.settleLastRow();
        QStringList result;
        for (const StatusRow &row : m_session.status.rows()) {
            EXPECT_EQ(row.group, QStringLiteral("02. Preparação do Pacote"));
            result.append(QString::number(row.image) + QLatin1Char('|') + row.detalhes);
        }
        return result;
    }

    // Log items without their time stamps.
    QStringList log() const
    {
        QStringList result;
        for (const QString &item : m_session.status.logText())
            result.append(item.mid(23));  // "dd/mm/yyyy - hh:mm:ss- "
        return result;
    }

    testsupport::TestSite m_site;
    testsupport::ScriptedUserInterface m_ui;
    InstallerSession m_session;
};

TEST_F(ExtractFilesTest, UnpacksThePackageKeepingFolders)
{
    PackageBuilder()
        .add(QStringLiteral("Config.ini"), "c")
        .add(QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"), "dll")
        .add(QStringLiteral("ExportCatalogo.zip"), "zip")
        .writeUpdatePack(m_session.installerDirectory);
    EXPECT_TRUE(ExtractFiles(m_session));
    const QStringList expected{QStringLiteral("1|Preparando o pacote para atualização..."),
                               QStringLiteral("1|     Arquivos extraídos com sucesso!")};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(log(), (QStringList{expected[0].mid(2), expected[1].mid(2)}));
    EXPECT_EQ(filesUnder(m_session.workingFolder).keys(),
              (QStringList{QStringLiteral("AppTivra/Producao/Bin/App.dll"), QStringLiteral("Config.ini"),
                           QStringLiteral("ExportCatalogo.zip")}));
}

// A leftover working folder, or an installer folder where it cannot be made, stops the stage.
TEST_F(ExtractFilesTest, RefusesAnExistingOrImpossibleWorkingFolder)
{
    PackageBuilder().add(QStringLiteral("Config.ini"), "c").writeUpdatePack(m_session.installerDirectory);
    const QString message = QStringLiteral("O diretório \"") + m_session.installerDirectory
                            + QStringLiteral("\" precisa de permissão de escrita para extração do pacote!");
    QDir().mkdir(m_session.workingFolder);
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows(), QStringList{QStringLiteral("2|") + message});
    EXPECT_EQ(log(), QStringList{message});
    EXPECT_TRUE(QDir(m_session.workingFolder).isEmpty());

    m_session.status.clearRows();
    m_session.installerDirectory = m_site.root() + QStringLiteral("/nao-existe/");
    m_session.workingFolder = m_session.installerDirectory + QStringLiteral("tmp");
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder));
}

// The error's message goes to the log only; the grid gets a row that is not logged.
TEST_F(ExtractFilesTest, ReportsArchiveErrorsInLogAndGridSeparately)
{
    PackageBuilder().password(QStringLiteral("outrasenha")).add(QStringLiteral("Config.ini"), "c")
        .writeUpdatePack(m_session.installerDirectory);
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("1|Preparando o pacote para atualização..."),
                                   QStringLiteral("2|     Erro durante a extração do pacote. Veja os detalhes no arquivo de Log.")}));
    const QStringList logged = log();
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged[0], QStringLiteral("Preparando o pacote para atualização..."));
    EXPECT_TRUE(logged[1].startsWith(QStringLiteral("Erro durante a extração do pacote de atualização. Mensagem: Não foi possível ler \"Config.ini\" do pacote: senha incorreta")))
        << logged[1].toStdString();
    EXPECT_EQ(m_session.status.lastStatusImage(), ImageError);

    QFile::remove(packageFilePath(m_session));
    QDir(m_session.workingFolder).removeRecursively();
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_TRUE(log().last().contains(QStringLiteral("Update.pack\" não foi encontrado."))) << log().last().toStdString();
}

TEST_F(ExtractFilesTest, RemovingTheWorkingFolderSendsItToTheTrash)
{
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_site.root() + QStringLiteral("/dados")));
    writeBytes(m_session.workingFolder + QStringLiteral("/a/b.txt"), "b");
    EXPECT_TRUE(removeWorkingFolder(m_session));
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder));
    EXPECT_TRUE(removeWorkingFolder(m_session));  // a missing folder counts as removed
    qputenv("XDG_DATA_HOME", oldDataHome);
}

}  // namespace
}  // namespace tivra
