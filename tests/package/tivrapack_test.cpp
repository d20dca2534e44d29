// The package builder tool, run as the maker runs it.
#include "package/packagearchive.h"
#include "package/packageconfig.h"
#include "packagetestutil.h"
#include "support/scriptedui.h"
#include "support/testsite.h"

#include "core/buildsettings.h"
#include "core/session.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <unistd.h>

namespace tivra {
namespace {

using namespace packagetest;

class TivraPackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_dir.filePath(QStringLiteral("fonte"));
        m_files = {{QStringLiteral("Config.ini"), "[Outros]\r\nVersaoPacote=3.0.001\r\n"},
                   {QStringLiteral("AppTivra/Producao/Bin/App.dll"), randomBytes(70000, 11)},
                   {QStringLiteral("AppTivra/Producao/Bin/Leiame.txt"), textBytes(500)}};
        for (auto it = m_files.begin(); it != m_files.end(); ++it)
            writeBytes(m_source + QLatin1Char('/') + it.key(), it.value());
        QDir().mkpath(m_source + QStringLiteral("/AppTivra/Vazia"));
    }

    int pack(const QStringList &arguments, QByteArray *out = nullptr, QByteArray *err = nullptr)
    {
        return run(QStringLiteral(TIVRA_PACK_EXECUTABLE), arguments, m_dir.path(), out, err);
    }

    // Encryption method of every file member; "" for folders.
    QMap<QString, int> methods(const QString &archive)
    {
        QMap<QString, int> result;
        int error = 0;
        zip_t *zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
        if (!zip)
            return result;
        for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
            zip_stat_t st;
            zip_stat_index(zip, zip_uint64_t(i), 0, &st);
            result.insert(QString::fromUtf8(st.name), st.encryption_method);
        }
        zip_discard(zip);
        return result;
    }

    QTemporaryDir m_dir;
    QString m_source;
    QMap<QString, QByteArray> m_files;
};

TEST_F(TivraPackTest, PacksAFolderWithAesAndTheBuildPassword)
{
    const QString archive = m_dir.filePath(QStringLiteral("Update.pack"));
    QByteArray out;
    ASSERT_EQ(pack({m_source, archive}, &out), 0);
    const QString listing = QString::fromLocal8Bit(out);
    EXPECT_TRUE(listing.contains(QStringLiteral("AppTivra/Producao/Bin/App.dll (70000 bytes)"))) << out.constData();
    EXPECT_TRUE(listing.contains(QStringLiteral("AppTivra/Vazia/")));
    EXPECT_TRUE(listing.contains(QStringLiteral("Total: 7 membros (3 arquivos, ")));

    const QMap<QString, int> found = methods(archive);
    EXPECT_EQ(found.value(QStringLiteral("AppTivra/Producao/Bin/App.dll")), ZIP_EM_AES_256);
    EXPECT_EQ(found.value(QStringLiteral("Config.ini")), ZIP_EM_AES_256);
    EXPECT_TRUE(found.contains(QStringLiteral("AppTivra/Vazia/")));

    const QString target = m_dir.filePath(QStringLiteral("out"));
    PackageReader(archive, BuildSettings::compiled().packagePassword).extract(QStringLiteral("*.*"), target);
    EXPECT_EQ(filesUnder(target), m_files);
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/AppTivra/Vazia")).isDir());
}

TEST_F(TivraPackTest, PacksWithTraditionalEncryptionAndAGivenPassword)
{
    const QString archive = m_dir.filePath(QStringLiteral("t.pack"));
    ASSERT_EQ(pack({QStringLiteral("--traditional"), QStringLiteral("--password"), QStringLiteral("Outra#Senha"), m_source, archive}), 0);
    EXPECT_EQ(methods(archive).value(QStringLiteral("Config.ini")), ZIP_EM_TRAD_PKWARE);
    const QString target = m_dir.filePath(QStringLiteral("out"));
    EXPECT_THROW(PackageReader(archive, BuildSettings::compiled().packagePassword).extract(QStringLiteral("Config.ini"), target),
                 PackageError);
    PackageReader(archive, QStringLiteral("Outra#Senha")).extract(QStringLiteral("*.*"), target);
    EXPECT_EQ(filesUnder(target), m_files);
}

// A failed run says why, exits non-zero and leaves no archive, not even a partial one, and an
// older archive of that name untouched.
TEST_F(TivraPackTest, FailsCleanly)
{
    const QString archive = m_dir.filePath(QStringLiteral("Update.pack"));
    QByteArray err;
    EXPECT_NE(pack({m_dir.filePath(QStringLiteral("nao-existe")), archive}, nullptr, &err), 0);
    EXPECT_TRUE(err.contains("nao-existe")) << err.constData();
    EXPECT_NE(pack({m_source}), 0);
    EXPECT_NE(pack({QStringLiteral("--modo"), m_source, archive}), 0);
    EXPECT_NE(pack({m_source, m_dir.filePath(QStringLiteral("sem/pasta/Update.pack"))}), 0);

    writeBytes(archive, "anterior");
    ASSERT_EQ(::symlink("/nao/existe", QFile::encodeName(m_source + QStringLiteral("/quebrado")).constData()), 0);
    EXPECT_NE(pack({m_source, archive}, nullptr, &err), 0);
    EXPECT_TRUE(err.contains("quebrado")) << err.constData();
    EXPECT_EQ(readBytes(archive), "anterior");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Update.pack")});
}

// The demo site's package, built the way the demo script builds it, reads as a real one.
TEST_F(TivraPackTest, BuildsTheDemoPackage)
{
    testsupport::TestSite site;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    session.installerDirectory = site.installerDirectory();
    session.workingFolder = session.installerDirectory + QStringLiteral("tmp");
    ASSERT_EQ(pack({QStringLiteral(TIVRA_DEMO_PACKAGE_DIR), session.installerDirectory + QStringLiteral("Update.pack")}), 0);
    LoadIniConfig(session);
    EXPECT_TRUE(session.status.logText().isEmpty()) << session.status.logText().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(session.package.versaoPacote, QStringLiteral("1.0.001"));
    EXPECT_TRUE(session.package.existBin);
    EXPECT_EQ(session.package.binaryToCopy.size(), 2);
    EXPECT_TRUE(session.changeLog.contains(QStringLiteral("Pacote de atualização 1.0.001")));
    EXPECT_EQ(session.manualButtonCaption, QStringLiteral("Manual da Versão 1.0.001"));
    EXPECT_TRUE(readBytes(session.installerDirectory + QStringLiteral("Manual.pdf")).startsWith("%PDF-1.4"));
    for (const QString &binary : session.package.binaryToCopy)
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(TIVRA_DEMO_PACKAGE_DIR "/") + QString(binary).replace(QLatin1Char('\\'), QLatin1Char('/'))))
            << binary.toStdString();
}

}  // namespace
}  // namespace tivra
