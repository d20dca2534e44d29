#include "package/packagearchive.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"

#include "core/buildsettings.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

namespace tivra {
namespace {

using namespace packagetest;
using testsupport::PackageBuilder;

const QString kPassword = QStringLiteral("Xy7#pq2!Zw");

class PackageReaderTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString out() const { return m_dir.filePath(QStringLiteral("out")); }

    // Extracts everything with the test password; returns the error text, empty on success.
    QString extractAll(const QString &archive, const QString &password = kPassword)
    {
        try {
            PackageReader(archive, password).extract(QStringLiteral("*.*"), out());
            return {};
        } catch (const PackageError &error) {
            return error.message();
        }
    }

    QTemporaryDir m_dir;
};

// Members in "\" and "/" folders, empty, incompressible and multi-megabyte ones come back byte for
// byte with either encryption.
TEST_F(PackageReaderTest, RoundTripsBothEncryptions)
{
    const QMap<QString, QByteArray> expected{
        {QStringLiteral("Config.ini"), "[Outros]\r\nVersaoPacote=1.2.003\r\n"},
        {QStringLiteral("AppTivra/Producao/Bin/App.dll"), randomBytes(300000, 7)},
        {QStringLiteral("AppTivra/Executaveis/Vazio.txt"), QByteArray()},
        {QStringLiteral("Scripts/grande.sql"), textBytes(60000)},
        {QStringLiteral("x"), "1"}};
    for (PackageEncryption encryption : {PackageEncryption::Aes256, PackageEncryption::TraditionalPkware}) {
        QDir(out()).removeRecursively();
        PackageBuilder builder;
        builder.encryption(encryption).password(kPassword).directory(QStringLiteral("Vazia/"));
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            QString name = it.key();
            if (name.startsWith(QLatin1String("AppTivra")))
                name.replace(QLatin1Char('/'), QLatin1Char('\\'));  // as Windows tools write them
            builder.add(name, it.value());
        }
        builder.write(path(QStringLiteral("p.pack")));
        ASSERT_EQ(extractAll(path(QStringLiteral("p.pack"))), QString());
        EXPECT_EQ(filesUnder(out()), expected);
        EXPECT_TRUE(QFileInfo(out() + QStringLiteral("/Vazia")).isDir());
    }
}

TEST_F(PackageReaderTest, KeepsModificationTimeAndOverwritesExistingFiles)
{
    const QString source = path(QStringLiteral("src/a.txt"));
    writeBytes(source, "novo");
    {
        QFile f(source);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime(QDate(2021, 3, 4), QTime(10, 20, 30)), QFileDevice::FileModificationTime);
    }
    PackageWriter writer(path(QStringLiteral("p.pack")), kPassword, PackageEncryption::Aes256);
    writer.addFile(QStringLiteral("a.txt"), source);
    writer.commit();
    writeBytes(out() + QStringLiteral("/a.txt"), "velho e mais comprido");

    ASSERT_EQ(extractAll(path(QStringLiteral("p.pack"))), QString());
    EXPECT_EQ(readBytes(out() + QStringLiteral("/a.txt")), "novo");
    const QDateTime stamp = QFileInfo(out() + QStringLiteral("/a.txt")).lastModified();
    EXPECT_LE(qAbs(stamp.secsTo(QDateTime(QDate(2021, 3, 4), QTime(10, 20, 30)))), 2);
    // Readable by everyone, as files the product copies into the application directory must be.
    EXPECT_TRUE(QFileInfo(out() + QStringLiteral("/a.txt")).permissions() & QFileDevice::ReadOther);
}

TEST_F(PackageReaderTest, MaskSelectsMembersByExactNameOrWildcard)
{
    PackageBuilder()
        .password(kPassword)
        .add(QStringLiteral("Config.ini"), "c")
        .add(QStringLiteral("ChangeLog"), "l")
        .add(QStringLiteral("Pasta\\Config.ini"), "p")
        .write(path(QStringLiteral("p.pack")));
    PackageReader reader(path(QStringLiteral("p.pack")), kPassword);
    EXPECT_EQ(reader.extract(QStringLiteral("Config.ini"), out()), 1);
    EXPECT_EQ(reader.extract(QStringLiteral("config.ini"), out()), 0);
    EXPECT_EQ(reader.extract(QStringLiteral("Manual.pdf"), out()), 0);
    EXPECT_EQ(filesUnder(out()).keys(), QStringList{QStringLiteral("Config.ini")});
    EXPECT_EQ(reader.extract(QStringLiteral("*\\Config.?ni"), out()), 1);
    EXPECT_EQ(reader.extract(QStringLiteral("*.*"), out()), 3);
}

TEST_F(PackageReaderTest, ReportsMissingDamagedAndTruncatedArchivesAndWrongPassword)
{
    EXPECT_TRUE(extractAll(path(QStringLiteral("nada.pack"))).contains(QStringLiteral("não foi encontrado")));

    PackageBuilder().password(kPassword).add(QStringLiteral("a.bin"), randomBytes(200000, 3)).write(path(QStringLiteral("p.pack")));
    EXPECT_TRUE(extractAll(path(QStringLiteral("p.pack")), QStringLiteral("outrasenha")).contains(QStringLiteral("senha incorreta")));
    PackageBuilder()
        .password(kPassword)
        .encryption(PackageEncryption::TraditionalPkware)
        .add(QStringLiteral("t.txt"), textBytes(100))
        .write(path(QStringLiteral("t.pack")));
    EXPECT_FALSE(extractAll(path(QStringLiteral("t.pack")), QStringLiteral("outrasenha")).isEmpty());

    // Passwords longer than a hash block are hashed first when the keys are derived.
    const QString longPassword = QString(70, QLatin1Char('k'));
    PackageBuilder().password(longPassword).add(QStringLiteral("l.txt"), "longa").write(path(QStringLiteral("l.pack")));
    EXPECT_EQ(extractAll(path(QStringLiteral("l.pack")), longPassword), QString());

    const QByteArray whole = readBytes(path(QStringLiteral("p.pack")));
    writeBytes(path(QStringLiteral("cut.pack")), whole.left(whole.size() / 2));
    EXPECT_TRUE(extractAll(path(QStringLiteral("cut.pack"))).contains(QStringLiteral("Não foi possível abrir o pacote")));
    writeBytes(path(QStringLiteral("junk.pack")), "isto não é um zip");
    EXPECT_TRUE(extractAll(path(QStringLiteral("junk.pack"))).contains(QStringLiteral("não é um pacote ZIP")));

    tamperFirstMember(path(QStringLiteral("p.pack")), 5000);
    EXPECT_TRUE(extractAll(path(QStringLiteral("p.pack"))).contains(QStringLiteral("autenticidade")));
    EXPECT_FALSE(QFileInfo::exists(out() + QStringLiteral("/a.bin")));
}

// A full disk in the middle of a member leaves neither that member nor a temporary file, and an
// older file of that name is kept whole.
TEST_F(PackageReaderTest, WriteFailureLeavesNoCompleteLookingFile)
{
    PackageBuilder()
        .password(kPassword)
        .add(QStringLiteral("1.txt"), "primeiro")
        .add(QStringLiteral("2.bin"), randomBytes(3 << 20, 9))
        .write(path(QStringLiteral("p.pack")));
    writeBytes(out() + QStringLiteral("/2.bin"), "versão anterior");
    PackageReader reader(path(QStringLiteral("p.pack")), kPassword);
    reader.setWriteLimit(1 << 20);
    try {
        reader.extract(QStringLiteral("*.*"), out());
        ADD_FAILURE() << "extraction should fail";
    } catch (const PackageError &error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("2.bin"))) << error.message().toStdString();
    }
    EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden), (QStringList{QStringLiteral("1.txt"), QStringLiteral("2.bin")}));
    EXPECT_EQ(readBytes(out() + QStringLiteral("/2.bin")), QByteArray("versão anterior"));
}

TEST_F(PackageReaderTest, RefusesMembersLeadingOutsideTheDestination)
{
    for (const QByteArray &evil : {QByteArray("../evil"), QByteArray("/abs"), QByteArray("C:\\x"), QByteArray("a\\..\\..\\x"),
                                   QByteArray("ok/../../y")}) {
        const QString archive = path(QStringLiteral("evil.zip"));
        ASSERT_TRUE(writeRawArchive(archive, {{"first.txt", "safe"}, {evil, "evil"}}));
        const QString error = extractAll(archive);
        EXPECT_TRUE(error.contains(QString::fromLatin1(evil))) << evil.constData() << ": " << error.toStdString();
        // Nothing at all was written, not even the safe member before it.
        EXPECT_FALSE(QFileInfo::exists(out())) << evil.constData();
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("evil.zip")});
    }
    EXPECT_EQ(safeMemberPath(QStringLiteral(".\\a\\\\b\\")), QStringLiteral("a/b"));
    EXPECT_EQ(safeMemberPath(QStringLiteral("a..b/c..")), QStringLiteral("a..b/c.."));
}

class SevenZipPackages : public PackageReaderTest {
protected:
    void SetUp() override
    {
        m_source = path(QStringLiteral("fonte"));
        m_files = {{QStringLiteral("Config.ini"), "[Outros]\r\nExistBin=1\r\n"},
                   {QStringLiteral("AppTivra/Bin/App.dll"), randomBytes(1500000, 5)},
                   {QStringLiteral("AppTivra/Leiame.txt"), textBytes(80000)},
                   {QStringLiteral("vazio.txt"), QByteArray()}};
        for (auto it = m_files.begin(); it != m_files.end(); ++it)
            writeBytes(m_source + QLatin1Char('/') + it.key(), it.value());
    }
    QString m_source;
    QMap<QString, QByteArray> m_files;
};

TEST_F(SevenZipPackages, OpensAesArchivesOf7Zip)
{
    if (!haveProgram(QStringLiteral("7z")))
        GTEST_SKIP() << "7z not installed";
    for (const QString &method : {QStringLiteral("AES256"), QStringLiteral("AES128")}) {
        const QString archive = path(method + QStringLiteral(".zip"));
        ASSERT_EQ(run(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mem=") + method,
                                            QStringLiteral("-p") + kPassword, archive, QStringLiteral(".")},
                      m_source),
                  0);
        QDir(out()).removeRecursively();
        ASSERT_EQ(extractAll(archive), QString()) << method.toStdString();
        EXPECT_EQ(filesUnder(out()), m_files);
    }
}

// 7-Zip's AE-2 entries carry no CRC; their authentication code still guards them, whether the
// entry is stored or deflated.
TEST_F(SevenZipPackages, RefusesTampered7ZipEntries)
{
    if (!haveProgram(QStringLiteral("7z")))
        GTEST_SKIP() << "7z not installed";
    for (const QString &name : {QStringLiteral("AppTivra/Bin/App.dll"), QStringLiteral("AppTivra/Leiame.txt")}) {
        const QString archive = path(QStringLiteral("one.zip"));
        QFile::remove(archive);
        ASSERT_EQ(run(QStringLiteral("7z"), {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-mem=AES256"),
                                            QStringLiteral("-p") + kPassword, archive, name},
                      m_source),
                  0);
        tamperFirstMember(archive, 1000);
        QDir(out()).removeRecursively();
        const QString error = extractAll(archive);
        EXPECT_TRUE(error.contains(QStringLiteral("autenticidade"))) << error.toStdString();
        EXPECT_TRUE(filesUnder(out()).isEmpty());
    }
}

TEST_F(SevenZipPackages, OpensTraditionalArchivesOfZip)
{
    if (!haveProgram(QStringLiteral("zip")))
        GTEST_SKIP() << "zip not installed";
    const QString archive = path(QStringLiteral("z.zip"));
    ASSERT_EQ(run(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-P"), kPassword, archive,
                                         QStringLiteral(".")},
                  m_source),
              0);
    ASSERT_EQ(extractAll(archive), QString());
    EXPECT_EQ(filesUnder(out()), m_files);
}

}  // namespace
}  // namespace tivra
