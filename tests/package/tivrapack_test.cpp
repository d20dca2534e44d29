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

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tivra {
namespace {

using namespace Qt::StringLiterals;

using namespace packagetest;

class TivraPackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_dir.filePath(u"fonte"_s);
        m_files = {{u"Config.ini"_s, "[Outros]\r\nVersaoPacote=3.0.001\r\n"},
                   {u"AppTivra/Producao/Bin/App.dll"_s, randomBytes(70000, 11)},
                   {u"AppTivra/Producao/Bin/Leiame.txt"_s, textBytes(500)}};
        for (auto it = m_files.begin(); it != m_files.end(); ++it)
            writeBytes(m_source + QLatin1Char('/') + it.key(), it.value());
        QDir().mkpath(m_source + u"/AppTivra/Vazia"_s);
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
    const QString archive = m_dir.filePath(u"Update.pack"_s);
    QByteArray out;
    ASSERT_EQ(pack({m_source, archive}, &out), 0);
    const QString listing = QString::fromLocal8Bit(out);
    EXPECT_TRUE(listing.contains(u"AppTivra/Producao/Bin/App.dll (70000 bytes)"_s)) << out.constData();
    EXPECT_TRUE(listing.contains(u"AppTivra/Vazia/"_s));
    EXPECT_TRUE(listing.contains(u"Total: 7 membros (3 arquivos, "_s));

    const QMap<QString, int> found = methods(archive);
    EXPECT_EQ(found.value(u"AppTivra/Producao/Bin/App.dll"_s), ZIP_EM_AES_256);
    EXPECT_EQ(found.value(u"Config.ini"_s), ZIP_EM_AES_256);
    EXPECT_TRUE(found.contains(u"AppTivra/Vazia/"_s));

    const QString target = m_dir.filePath(u"out"_s);
    PackageReader(archive, BuildSettings::compiled().packagePassword).extract(u"*.*"_s, target);
    EXPECT_EQ(filesUnder(target), m_files);
    EXPECT_TRUE(QFileInfo(target + u"/AppTivra/Vazia"_s).isDir());
}

TEST_F(TivraPackTest, PacksWithTraditionalEncryptionAndAGivenPassword)
{
    const QString archive = m_dir.filePath(u"t.pack"_s);
    ASSERT_EQ(pack({u"--traditional"_s, u"--password"_s, u"Outra#Senha"_s, m_source, archive}), 0);
    EXPECT_EQ(methods(archive).value(u"Config.ini"_s), ZIP_EM_TRAD_PKWARE);
    const QString target = m_dir.filePath(u"out"_s);
    EXPECT_THROW(PackageReader(archive, BuildSettings::compiled().packagePassword).extract(u"Config.ini"_s, target),
                 PackageError);
    PackageReader(archive, u"Outra#Senha"_s).extract(u"*.*"_s, target);
    EXPECT_EQ(filesUnder(target), m_files);
}

// A failed run says why, exits non-zero and leaves no archive, not even a partial one, and an
// older archive of that name untouched.
TEST_F(TivraPackTest, FailsCleanly)
{
    const QString archive = m_dir.filePath(u"Update.pack"_s);
    QByteArray err;
    EXPECT_NE(pack({m_dir.filePath(u"nao-existe"_s), archive}, nullptr, &err), 0);
    EXPECT_TRUE(err.contains("nao-existe")) << err.constData();
    EXPECT_NE(pack({m_source}), 0);
    EXPECT_NE(pack({u"--modo"_s, m_source, archive}), 0);
    EXPECT_NE(pack({m_source, m_dir.filePath(u"sem/pasta/Update.pack"_s)}), 0);

#ifndef _WIN32
    // A link whose target is missing (creating links needs a privilege on Windows).
    writeBytes(archive, "anterior");
    ASSERT_EQ(::symlink("/nao/existe", QFile::encodeName(m_source + u"/quebrado"_s).constData()), 0);
    EXPECT_NE(pack({m_source, archive}, nullptr, &err), 0);
    EXPECT_TRUE(err.contains("quebrado")) << err.constData();
    EXPECT_EQ(readBytes(archive), "anterior");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Update.pack"_s});
#endif
}

// The demo site's package, built the way the demo script builds it, reads as a real one.
TEST_F(TivraPackTest, BuildsTheDemoPackage)
{
    testsupport::TestSite site;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    session.installerDirectory = site.installerDirectory();
    session.workingFolder = session.installerDirectory + u"tmp"_s;
    ASSERT_EQ(pack({QStringLiteral(TIVRA_DEMO_PACKAGE_DIR), session.installerDirectory + u"Update.pack"_s}), 0);
    LoadIniConfig(session);
    EXPECT_TRUE(session.status.logText().isEmpty()) << session.status.logText().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(session.package.versaoPacote, u"1.0.001"_s);
    EXPECT_TRUE(session.package.existBin);
    EXPECT_EQ(session.package.binaryToCopy.size(), 2);
    EXPECT_TRUE(session.changeLog.contains(u"Pacote de atualização 1.0.001"_s));
    EXPECT_EQ(session.manualButtonCaption, u"Manual da Versão 1.0.001"_s);
    EXPECT_TRUE(readBytes(session.installerDirectory + u"Manual.pdf"_s).startsWith("%PDF-1.4"));
    for (const QString &binary : session.package.binaryToCopy)
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(TIVRA_DEMO_PACKAGE_DIR "/") +
                                      QString(binary).replace(QLatin1Char('\\'), QLatin1Char('/'))))
            << binary.toStdString();
}

}  // namespace
}  // namespace tivra
