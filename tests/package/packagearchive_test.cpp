#include "package/packagearchive.h"
#include "packagetestutil.h"
#include "support/packagebuilder.h"

#include "core/buildsettings.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

namespace tivra {
namespace {

using namespace Qt::StringLiterals;

using namespace packagetest;
using testsupport::PackageBuilder;

const QString kPassword = u"Xy7#pq2!Zw"_s;

class PackageReaderTest : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString out() const { return m_dir.filePath(u"out"_s); }

    // Extracts everything with the test password; returns the error text, empty on success.
    QString extractAll(const QString &archive, const QString &password = kPassword)
    {
        try {
            PackageReader(archive, password).extract(u"*.*"_s, out());
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
    const QMap<QString, QByteArray> expected{{u"Config.ini"_s, "[Outros]\r\nVersaoPacote=1.2.003\r\n"},
                                             {u"AppTivra/Producao/Bin/App.dll"_s, randomBytes(300000, 7)},
                                             {u"AppTivra/Executaveis/Vazio.txt"_s, QByteArray()},
                                             {u"Scripts/grande.sql"_s, textBytes(60000)},
                                             {u"x"_s, "1"}};
    for (PackageEncryption encryption : {PackageEncryption::Aes256, PackageEncryption::TraditionalPkware}) {
        QDir(out()).removeRecursively();
        PackageBuilder builder;
        builder.encryption(encryption).password(kPassword).directory(u"Vazia/"_s);
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            QString name = it.key();
            if (name.startsWith(QLatin1String("AppTivra")))
                name.replace(QLatin1Char('/'), QLatin1Char('\\'));  // as Windows tools write them
            builder.add(name, it.value());
        }
        builder.write(path(u"p.pack"_s));
        ASSERT_EQ(extractAll(path(u"p.pack"_s)), QString());
        EXPECT_EQ(filesUnder(out()), expected);
        EXPECT_TRUE(QFileInfo(out() + u"/Vazia"_s).isDir());
    }
}

TEST_F(PackageReaderTest, KeepsModificationTimeAndOverwritesExistingFiles)
{
    const QString source = path(u"src/a.txt"_s);
    writeBytes(source, "novo");
    {
        QFile f(source);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime(QDate(2021, 3, 4), QTime(10, 20, 30)), QFileDevice::FileModificationTime);
    }
    PackageWriter writer(path(u"p.pack"_s), kPassword, PackageEncryption::Aes256);
    writer.addFile(u"a.txt"_s, source);
    writer.commit();
    writeBytes(out() + u"/a.txt"_s, "velho e mais comprido");

    ASSERT_EQ(extractAll(path(u"p.pack"_s)), QString());
    EXPECT_EQ(readBytes(out() + u"/a.txt"_s), "novo");
    const QDateTime stamp = QFileInfo(out() + u"/a.txt"_s).lastModified();
    EXPECT_LE(qAbs(stamp.secsTo(QDateTime(QDate(2021, 3, 4), QTime(10, 20, 30)))), 2);
    // Readable by everyone, as files the product copies into the application directory must be.
    EXPECT_TRUE(QFileInfo(out() + u"/a.txt"_s).permissions() & QFileDevice::ReadOther);
}

TEST_F(PackageReaderTest, MaskSelectsMembersByExactNameOrWildcard)
{
    PackageBuilder()
        .password(kPassword)
        .add(u"Config.ini"_s, "c")
        .add(u"ChangeLog"_s, "l")
        .add(u"Pasta\\Config.ini"_s, "p")
        .write(path(u"p.pack"_s));
    PackageReader reader(path(u"p.pack"_s), kPassword);
    EXPECT_EQ(reader.extract(u"Config.ini"_s, out()), 1);
    EXPECT_EQ(reader.extract(u"config.ini"_s, out()), 0);
    EXPECT_EQ(reader.extract(u"Manual.pdf"_s, out()), 0);
    EXPECT_EQ(filesUnder(out()).keys(), QStringList{u"Config.ini"_s});
    EXPECT_EQ(reader.extract(u"*\\Config.?ni"_s, out()), 1);
    EXPECT_EQ(reader.extract(u"*.*"_s, out()), 3);
}

TEST_F(PackageReaderTest, ReportsMissingDamagedAndTruncatedArchivesAndWrongPassword)
{
    EXPECT_TRUE(extractAll(path(u"nada.pack"_s)).contains(u"não foi encontrado"_s));

    PackageBuilder().password(kPassword).add(u"a.bin"_s, randomBytes(200000, 3)).write(path(u"p.pack"_s));
    EXPECT_TRUE(extractAll(path(u"p.pack"_s), u"outrasenha"_s).contains(u"senha incorreta"_s));
    PackageBuilder()
        .password(kPassword)
        .encryption(PackageEncryption::TraditionalPkware)
        .add(u"t.txt"_s, textBytes(100))
        .write(path(u"t.pack"_s));
    EXPECT_FALSE(extractAll(path(u"t.pack"_s), u"outrasenha"_s).isEmpty());

    // Passwords longer than a hash block are hashed first when the keys are derived.
    const QString longPassword = QString(70, QLatin1Char('k'));
    PackageBuilder().password(longPassword).add(u"l.txt"_s, "longa").write(path(u"l.pack"_s));
    EXPECT_EQ(extractAll(path(u"l.pack"_s), longPassword), QString());

    const QByteArray whole = readBytes(path(u"p.pack"_s));
    writeBytes(path(u"cut.pack"_s), whole.left(whole.size() / 2));
    EXPECT_TRUE(extractAll(path(u"cut.pack"_s)).contains(u"Não foi possível abrir o pacote"_s));
    writeBytes(path(u"junk.pack"_s), "isto não é um zip");
    EXPECT_TRUE(extractAll(path(u"junk.pack"_s)).contains(u"não é um pacote ZIP"_s));

    // A member marked with strong encryption, which nothing here decodes: refused by name (and,
    // under the sanitizers, without the sources libzip keeps when it is asked to open one).
    QByteArray strong = readBytes(path(u"t.pack"_s));
    for (const auto &[signature, flagsAt] : {std::pair{QByteArray("PK\x03\x04", 4), 6}, std::pair{QByteArray("PK\x01\x02", 4), 8}}) {
        const qsizetype at = strong.indexOf(signature);
        ASSERT_GE(at, 0);
        strong[at + flagsAt] = char(strong[at + flagsAt] | 0x41);
    }
    writeBytes(path(u"strong.pack"_s), strong);
    EXPECT_TRUE(extractAll(path(u"strong.pack"_s)).contains(u"método de criptografia não suportado"_s));

    tamperFirstMember(path(u"p.pack"_s), 5000);
    EXPECT_TRUE(extractAll(path(u"p.pack"_s)).contains(u"autenticidade"_s));
    EXPECT_FALSE(QFileInfo::exists(out() + u"/a.bin"_s));
}

// A full disk in the middle of a member leaves neither that member nor a temporary file, and an
// older file of that name is kept whole.
TEST_F(PackageReaderTest, WriteFailureLeavesNoCompleteLookingFile)
{
    PackageBuilder()
        .password(kPassword)
        .add(u"1.txt"_s, "primeiro")
        .add(u"2.bin"_s, randomBytes(3 << 20, 9))
        .write(path(u"p.pack"_s));
    writeBytes(out() + u"/2.bin"_s, "versão anterior");
    PackageReader reader(path(u"p.pack"_s), kPassword);
    reader.setWriteLimit(1 << 20);
    try {
        reader.extract(u"*.*"_s, out());
        ADD_FAILURE() << "extraction should fail";
    } catch (const PackageError &error) {
        EXPECT_TRUE(error.message().contains(u"2.bin"_s)) << error.message().toStdString();
    }
    EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden), (QStringList{u"1.txt"_s, u"2.bin"_s}));
    EXPECT_EQ(readBytes(out() + u"/2.bin"_s), QByteArray("versão anterior"));
}

TEST_F(PackageReaderTest, RefusesMembersLeadingOutsideTheDestination)
{
    for (const QByteArray &evil : {QByteArray("../evil"), QByteArray("/abs"), QByteArray("C:\\x"),
                                   QByteArray("a\\..\\..\\x"), QByteArray("ok/../../y")}) {
        const QString archive = path(u"evil.zip"_s);
        ASSERT_TRUE(writeRawArchive(archive, {{"first.txt", "safe"}, {evil, "evil"}}));
        const QString error = extractAll(archive);
        EXPECT_TRUE(error.contains(QString::fromLatin1(evil))) << evil.constData() << ": " << error.toStdString();
        // Nothing at all was written, not even the safe member before it.
        EXPECT_FALSE(QFileInfo::exists(out())) << evil.constData();
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"evil.zip"_s});
    }
    EXPECT_EQ(safeMemberPath(u".\\a\\\\b\\"_s), u"a/b"_s);
    EXPECT_EQ(safeMemberPath(u"a..b/c.."_s), u"a..b/c.."_s);
    // A "./" folder entry names the destination itself and is harmless.
    ASSERT_TRUE(writeRawArchive(path(u"dot.zip"_s), {{"./", ""}, {"./b.txt", "b"}}));
    EXPECT_EQ(extractAll(path(u"dot.zip"_s)), QString());
    EXPECT_EQ(readBytes(out() + u"/b.txt"_s), "b");
}

class SevenZipPackages : public PackageReaderTest {
protected:
    void SetUp() override
    {
        m_source = path(u"fonte"_s);
        m_files = {{u"Config.ini"_s, "[Outros]\r\nExistBin=1\r\n"},
                   {u"AppTivra/Bin/App.dll"_s, randomBytes(1500000, 5)},
                   {u"AppTivra/Leiame.txt"_s, textBytes(80000)},
                   {u"vazio.txt"_s, QByteArray()}};
        for (auto it = m_files.begin(); it != m_files.end(); ++it)
            writeBytes(m_source + QLatin1Char('/') + it.key(), it.value());
    }
    QString m_source;
    QMap<QString, QByteArray> m_files;
};

TEST_F(SevenZipPackages, OpensAesArchivesOf7Zip)
{
    if (!haveProgram(u"7z"_s))
        GTEST_SKIP() << "7z not installed";
    for (const QString &method : {u"AES256"_s, u"AES128"_s}) {
        const QString archive = path(method + u".zip"_s);
        ASSERT_EQ(
            run(u"7z"_s, {u"a"_s, u"-tzip"_s, u"-mem="_s + method, u"-p"_s + kPassword, archive, u"."_s}, m_source), 0);
        QDir(out()).removeRecursively();
        ASSERT_EQ(extractAll(archive), QString()) << method.toStdString();
        EXPECT_EQ(filesUnder(out()), m_files);
    }
}

// 7-Zip's AE-2 entries carry no CRC; their authentication code still guards them, whether the
// entry is stored or deflated.
TEST_F(SevenZipPackages, RefusesTampered7ZipEntries)
{
    if (!haveProgram(u"7z"_s))
        GTEST_SKIP() << "7z not installed";
    for (const QString &name : {u"AppTivra/Bin/App.dll"_s, u"AppTivra/Leiame.txt"_s}) {
        const QString archive = path(u"one.zip"_s);
        QFile::remove(archive);
        ASSERT_EQ(run(u"7z"_s, {u"a"_s, u"-tzip"_s, u"-mem=AES256"_s, u"-p"_s + kPassword, archive, name}, m_source),
                  0);
        tamperFirstMember(archive, 1000);
        QDir(out()).removeRecursively();
        const QString error = extractAll(archive);
        EXPECT_TRUE(error.contains(u"autenticidade"_s)) << error.toStdString();
        EXPECT_TRUE(filesUnder(out()).isEmpty());
    }
}

TEST_F(SevenZipPackages, OpensTraditionalArchivesOfZip)
{
    if (!haveProgram(u"zip"_s))
        GTEST_SKIP() << "zip not installed";
    const QString archive = path(u"z.zip"_s);
    ASSERT_EQ(run(u"zip"_s, {u"-q"_s, u"-r"_s, u"-P"_s, kPassword, archive, u"."_s}, m_source), 0);
    ASSERT_EQ(extractAll(archive), QString());
    EXPECT_EQ(filesUnder(out()), m_files);
}

}  // namespace
}  // namespace tivra
