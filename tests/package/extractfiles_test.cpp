#include "package/extractfiles.h"
#include "package/packagearchive.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include "core/progress.h"
#include "core/session.h"

#include <gtest/gtest.h>

namespace tivra {
namespace {

using namespace Qt::StringLiterals;

using namespace packagetest;
using testsupport::PackageBuilder;

class ExtractFilesTest : public ::testing::Test {
protected:
    ExtractFilesTest() : m_session(m_ui)
    {
        m_session.installerDirectory = m_site.installerDirectory();
        m_session.workingFolder = m_session.installerDirectory + u"tmp"_s;
    }

    // Grid rows as "image|text", each with the image it was reported with.
    QStringList rows()
    {
        m_session.status.settleLastRow();
        QStringList result;
        for (const StatusRow &row : m_session.status.rows()) {
            EXPECT_EQ(row.group, u"02. Preparação do Pacote"_s);
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
        .add(u"Config.ini"_s, "c")
        .add(u"AppTivra\\Producao\\Bin\\App.dll"_s, "dll")
        .add(u"ExportCatalogo.zip"_s, "zip")
        .writeUpdatePack(m_session.installerDirectory);
    EXPECT_TRUE(ExtractFiles(m_session));
    const QStringList expected{u"1|Preparando o pacote para atualização..."_s,
                               u"1|     Arquivos extraídos com sucesso!"_s};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(log(), (QStringList{expected[0].mid(2), expected[1].mid(2)}));
    EXPECT_EQ(filesUnder(m_session.workingFolder).keys(),
              (QStringList{u"AppTivra/Producao/Bin/App.dll"_s, u"Config.ini"_s, u"ExportCatalogo.zip"_s}));
}

// The stage counts the files it writes (directories are no files), reports again within a large
// member so that a window stays alive, and ends its counting however it ends.
TEST_F(ExtractFilesTest, CountsTheFilesForTheProgressAndEndsTheCounting)
{
    PackageBuilder()
        .add(u"Config.ini"_s, "c")
        .add(u"AppTivra\\Producao\\Bin\\Grande.dll"_s, QByteArray(3 * 1024 * 1024, 'g'))
        .add(u"AppTivra\\Producao\\Bin\\App.dll"_s, "dll")
        .writeUpdatePack(m_session.installerDirectory);
    std::vector<std::pair<qint64, qint64>> reports;
    QString stage;
    int ended = 0;
    QObject::connect(&m_session.status, &StatusLog::progressReported,
                     [&](const QString &s, qint64 done, qint64 total, ProgressUnit unit) {
                         EXPECT_EQ(unit, ProgressUnit::Files);
                         stage = s;
                         reports.emplace_back(done, total);
                     });
    QObject::connect(&m_session.status, &StatusLog::progressEnded, [&] { ++ended; });
    EXPECT_TRUE(ExtractFiles(m_session));
    EXPECT_EQ(stage, u"02. Preparação do Pacote"_s);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), (std::pair<qint64, qint64>{0, 3}));
    EXPECT_EQ(reports.back(), (std::pair<qint64, qint64>{3, 3}));
    // The counts never go back, and the large member gave more than one report of its own.
    for (size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].first, reports[i - 1].first);
    EXPECT_GT(reports.size(), size_t(5));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(progressText(3, 3, ProgressUnit::Files), u"3 de 3 arquivos"_s);

    // A damaged package ends the counting too.
    removeWorkingFolder(m_session);
    m_site.writeFile(u"installer/Update.pack"_s, "not a zip");
    ended = 0;
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(ended, 0);  // nothing was counted, so nothing ends
}

// A leftover working folder, or an installer folder where it cannot be made, stops the stage.
TEST_F(ExtractFilesTest, RefusesAnExistingOrImpossibleWorkingFolder)
{
    PackageBuilder().add(u"Config.ini"_s, "c").writeUpdatePack(m_session.installerDirectory);
    const QString message = u"O diretório \""_s + m_session.installerDirectory +
                            u"\" precisa de permissão de escrita para extração do pacote!"_s;
    QDir().mkdir(m_session.workingFolder);
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows(), QStringList{u"2|"_s + message});
    EXPECT_EQ(log(), QStringList{message});
    EXPECT_TRUE(QDir(m_session.workingFolder).isEmpty());

    m_session.status.clearRows();
    m_session.installerDirectory = m_site.root() + u"/nao-existe/"_s;
    m_session.workingFolder = m_session.installerDirectory + u"tmp"_s;
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder));
}

// The error's message goes to the log only; the grid gets a row that is not logged.
TEST_F(ExtractFilesTest, ReportsArchiveErrorsInLogAndGridSeparately)
{
    PackageBuilder().password(u"outrasenha"_s).add(u"Config.ini"_s, "c").writeUpdatePack(m_session.installerDirectory);
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_EQ(rows(),
              (QStringList{u"1|Preparando o pacote para atualização..."_s,
                           u"2|     Erro durante a extração do pacote. Veja os detalhes no arquivo de Log."_s}));
    const QStringList logged = log();
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged[0], u"Preparando o pacote para atualização..."_s);
    EXPECT_TRUE(logged[1].startsWith(
        u"Erro durante a extração do pacote de atualização. Mensagem: Não foi possível ler \"Config.ini\" do pacote: senha incorreta"_s))
        << logged[1].toStdString();
    EXPECT_EQ(m_session.status.lastStatusImage(), ImageError);

    QFile::remove(packageFilePath(m_session));
    QDir(m_session.workingFolder).removeRecursively();
    EXPECT_FALSE(ExtractFiles(m_session));
    EXPECT_TRUE(log().last().contains(u"Update.pack\" não foi encontrado."_s)) << log().last().toStdString();
}

TEST_F(ExtractFilesTest, RemovingTheWorkingFolderSendsItToTheTrash)
{
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_site.root() + u"/dados"_s));
    writeBytes(m_session.workingFolder + u"/a/b.txt"_s, "b");
    EXPECT_TRUE(removeWorkingFolder(m_session));
    EXPECT_FALSE(QFileInfo::exists(m_session.workingFolder));
    EXPECT_TRUE(removeWorkingFolder(m_session));  // a missing folder counts as removed
    qputenv("XDG_DATA_HOME", oldDataHome);
}

}  // namespace
}  // namespace tivra
