#include "platform/profile.h"

#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace tivra::platform;
using namespace tivra::platform::test;

namespace {

class Profile : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("Config.ini"))
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

const QByteArray kSample =
    "; installer settings\r\n"
    "[SACData]\r\n"
    "Login = admin \r\n"
    "Password=\"  secret  \"\r\n"
    "login=second\r\n"
    "not a key line\r\n"
    "Quoted='single'\r\n"
    "Mixed=\"open'\r\n"
    "Empty=\r\n"
    "\r\n"
    "[  AppTivra  ]\r\n"
    "Path=C:\\AppTivra\\Producao\r\n"
    "[sacdata]\r\n"
    "Login=shadowed\r\n"
    "Extra=shadowed\r\n";

}  // namespace

TEST_F(Profile, ReadsWithWindowsMatchingRules)
{
    const ProfileFile ini(write(kSample));
    EXPECT_TRUE(ini.existed());
    EXPECT_EQ(ini.readString("sacdata", "LOGIN"), "admin");  // case-insensitive, trimmed, first match wins
    EXPECT_EQ(ini.readString("SACData", "Password"), "  secret  ");  // quotes removed, inner blanks kept
    EXPECT_EQ(ini.readString("SACData", "Quoted"), "single");
    EXPECT_EQ(ini.readString("SACData", "Mixed"), "\"open'");  // quotes that do not match stay
    EXPECT_EQ(ini.readString("SACData", "Empty", "dflt"), "");
    EXPECT_EQ(ini.readString("SACData", "Extra", "dflt"), "dflt");  // only in the second, shadowed section
    // A line without "=" is a key with an empty value (the binaries list is written that way).
    EXPECT_EQ(ini.readString("SACData", "not a key line", "dflt"), "");
    EXPECT_EQ(ini.readString("AppTivra", "path"), "C:\\AppTivra\\Producao");
    EXPECT_EQ(ini.readString("Missing", "Path", "dflt"), "dflt");

    EXPECT_TRUE(ini.hasSection("APPTIVRA"));
    EXPECT_FALSE(ini.hasSection("Other"));
    EXPECT_EQ(ini.sections(), (QStringList{"SACData", "AppTivra"}));
    EXPECT_EQ(ini.keys("sacdata"), (QStringList{"Login", "Password", "not a key line", "Quoted", "Mixed", "Empty"}));
    EXPECT_EQ(ini.sectionLines("SACData"), (QStringList{"Login=admin", "Password=  secret  ", "not a key line=",
                                                        "Quoted=single", "Mixed=\"open'", "Empty="}));
}

TEST_F(Profile, ReadsIntegersLikeGetPrivateProfileInt)
{
    const ProfileFile ini(write("[N]\r\ndec=42\r\nneg= -17\r\nplus=+7\r\nhex=0x1F\r\nHEX=0XfF\r\n"
                                "trail=12abc\r\nhexTrail=0x1Fz\r\nbareX=0x\r\nbadHex=0xG\r\nword=abc\r\n"
                                "empty=\r\nwrap=4294967295\r\nsign=-\r\nquoted=\"15\"\r\n"));
    const std::pair<const char *, int> cases[] = {
        {"dec", 42}, {"neg", -17}, {"plus", 7}, {"hex", 31}, {"trail", 12}, {"hexTrail", 31},
        {"bareX", 0}, {"badHex", 0}, {"wrap", -1}, {"quoted", 15},
        {"word", -5}, {"empty", -5}, {"sign", -5}, {"missing", -5},  // no leading digit: the default
    };
    for (const auto &[key, expected] : cases)
        EXPECT_EQ(ini.readInteger("n", key, -5), expected) << key;
    EXPECT_EQ(ini.readInteger("n", "HEX", 0), 31);  // first of "hex"/"HEX" wins
}

TEST_F(Profile, ReadsBooleansAsNonZeroIntegers)
{
    const ProfileFile ini(write("[B]\r\none=1\r\nfive=5\r\nhex=0x1\r\nminus=-1\r\nlead=1x\r\n"
                                "zero=0\r\nhexZero=0x0\r\nS=S\r\nword=true\r\nempty=\r\n"));
    for (const char *key : {"one", "five", "hex", "minus", "lead"})
        EXPECT_TRUE(ini.readBool("B", key)) << key;
    for (const char *key : {"zero", "hexZero", "S", "word", "empty", "missing"})
        EXPECT_FALSE(ini.readBool("B", key)) << key;
}

TEST_F(Profile, RewriteKeepsUntouchedLinesAndTheStoredKeySpelling)
{
    const QString file = write(
        "; header comment\n"
        "[Versoes]\n"
        "App.dll = 1.0.0.0\n"
        "; about the next key\n"
        "Lib.dll=2.0\n"
        "\n"
        "[Outra]\n"
        "x=1\n");
    ProfileFile ini(file);
    EXPECT_TRUE(ini.writeString("VERSOES", "app.DLL", "1.2.0.0"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(readBytes(file),
              "; header comment\r\n"
              "[Versoes]\r\n"
              "App.dll=1.2.0.0\r\n"
              "; about the next key\r\n"
              "Lib.dll=2.0\r\n"
              "\r\n"
              "[Outra]\r\n"
              "x=1\r\n");
}

TEST_F(Profile, AppendsKeysAfterTheLastEntryAndNewSectionsAtTheEnd)
{
    const QString file = write(
        "[A]\r\n"
        "a1=1\r\n"
        "; comment that introduces B\r\n"
        "\r\n"
        "[B]\r\n"
        "; only a comment\r\n"
        "\r\n");
    ProfileFile ini(file);
    EXPECT_TRUE(ini.writeString("a", "a2", "2"));
    EXPECT_TRUE(ini.writeString("b", "b1", "x"));
    EXPECT_TRUE(ini.writeString("C", "c1", QString::fromUtf8("Produção")));
    EXPECT_TRUE(ini.isModified());
    ASSERT_TRUE(ini.flush());
    EXPECT_FALSE(ini.isModified());
    EXPECT_EQ(readBytes(file),
              "[A]\r\n"
              "a1=1\r\n"
              "a2=2\r\n"
              "; comment that introduces B\r\n"
              "\r\n"
              "[B]\r\n"
              "b1=x\r\n"
              "; only a comment\r\n"
              "\r\n"
              "[C]\r\n"
              "c1=Produ\xE7\xE3o\r\n");
    const ProfileFile reread(file);
    EXPECT_EQ(reread.readString("c", "C1"), QString::fromUtf8("Produção"));
}

TEST_F(Profile, WritesOnlyWhenSomethingChanged)
{
    const QString file = write("[S]\nk = v\n");  // LF line ends survive as long as nothing is written
    ProfileFile ini(file);
    EXPECT_TRUE(ini.writeString("s", "K", "v"));
    ini.deleteKey("s", "missing");
    ini.deleteSection("missing");
    EXPECT_FALSE(ini.isModified());
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(readBytes(file), "[S]\nk = v\n");

    ProfileFile fresh(path("new.ini"));
    EXPECT_FALSE(fresh.existed());
    ASSERT_TRUE(fresh.flush());
    EXPECT_FALSE(QFile::exists(path("new.ini")));
    fresh.writeString("S", "k", "v");
    ASSERT_TRUE(fresh.flush());
    EXPECT_EQ(readBytes(path("new.ini")), "[S]\r\nk=v\r\n");
}

TEST_F(Profile, DeletesKeysAndSections)
{
    const QString file = write("[A]\r\nk=1\r\nK=2\r\nj=3\r\n[B]\r\nb=1\r\n[a]\r\nk=4\r\n; end\r\n[C]\r\nc=1\r\n");
    ProfileFile ini(file);
    ini.deleteKey("a", "k");
    EXPECT_EQ(ini.readString("A", "k", "gone"), "gone");  // every duplicate goes, none shows through
    ini.deleteSection("B");
    EXPECT_FALSE(ini.hasSection("B"));
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(readBytes(file), "[A]\r\nj=3\r\n[a]\r\nk=4\r\n; end\r\n[C]\r\nc=1\r\n");

    ini.deleteSection("A");  // both spellings
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(readBytes(file), "[C]\r\nc=1\r\n");
}

TEST_F(Profile, RefusesNamesAProfileCannotHoldAndFlattensLineBreaksInValues)
{
    ProfileFile ini(path("w.ini"));
    for (const char *key : {"a=b", ";k", "[k", "  ", "k\r\n[Evil]"})
        EXPECT_FALSE(ini.writeString("S", key, "v")) << key;
    EXPECT_FALSE(ini.writeString("S]x", "k", "v"));
    EXPECT_FALSE(ini.writeString("", "k", "v"));
    EXPECT_FALSE(ini.isModified());
    EXPECT_TRUE(ini.writeString("S", "k", "one\r\n[Evil]\r\nx=1"));
    ASSERT_TRUE(ini.flush());
    const ProfileFile reread(path("w.ini"));
    EXPECT_EQ(reread.sections(), QStringList{"S"});
    EXPECT_EQ(reread.readString("S", "k"), "one  [Evil]  x=1");
}

TEST_F(Profile, FlushReportsFailuresAndNeverOverwritesAnUnreadableFile)
{
    ProfileFile missingFolder(path("no/such/folder.ini"));
    missingFolder.writeString("S", "k", "v");
    QString error;
    EXPECT_FALSE(missingFolder.flush(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(missingFolder.isModified());

    // A folder stands in for a file that exists but cannot be read.
    const QString folder = path("folder.ini");
    ASSERT_TRUE(QDir().mkpath(folder));
    ProfileFile unreadable(folder);
    EXPECT_FALSE(unreadable.existed());
    EXPECT_EQ(unreadable.readString("S", "k", "d"), "d");
    unreadable.writeString("S", "k", "v");
    error.clear();
    EXPECT_FALSE(unreadable.flush(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(Profile, ReadsAndKeepsUnicodeEncodings)
{
    // UTF-16LE with a byte order mark: the Unicode profile format of Windows.
    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QString::fromUtf8("[Seção]\r\nNome=João 中\r\n"))
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    const QString wide = write(utf16, "wide.ini");
    ProfileFile ini(wide);
    EXPECT_EQ(ini.readString(QString::fromUtf8("SEÇÃO"), "nome"), QString::fromUtf8("João 中"));
    ini.writeString(QString::fromUtf8("Seção"), "Outro", "1");
    ASSERT_TRUE(ini.flush());
    EXPECT_TRUE(readBytes(wide).startsWith(utf16));
    EXPECT_EQ(ProfileFile(wide).readString(QString::fromUtf8("Seção"), "outro"), "1");

    const QString utf8 = write("\xEF\xBB\xBF[S]\r\nk=Jo\xC3\xA3o\r\n", "utf8.ini");
    EXPECT_EQ(ProfileFile(utf8).readString("S", "k"), QString::fromUtf8("João"));

    // UTF-8 without a mark is read as ANSI, and its bytes survive a rewrite untouched.
    const QString plain = write("[S]\r\nk=Jo\xC3\xA3o\r\n", "plain.ini");
    ProfileFile ansi(plain);
    EXPECT_EQ(ansi.readString("S", "k"), QString::fromUtf8("JoÃ£o"));
    ansi.writeString("S", "j", "1");
    ASSERT_TRUE(ansi.flush());
    EXPECT_EQ(readBytes(plain), "[S]\r\nk=Jo\xC3\xA3o\r\nj=1\r\n");
}

TEST_F(Profile, SurvivesGarbageAndKeepsItsBytes)
{
    // NUL ends what is read of a line; "[" lines without "]" are no section headers.
    const ProfileFile nul(write(QByteArray("[S]\r\nk=ab\0cd\r\nj\0=1\r\n[T\r\nt=1\r\n", 29)));
    EXPECT_EQ(nul.readString("S", "k"), "ab");
    EXPECT_EQ(nul.readString("S", "j", "d"), "");  // the NUL leaves "j": a key without a value
    EXPECT_EQ(nul.readString("S", "t"), "1");
    EXPECT_FALSE(nul.hasSection("T"));

    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(random() % 600), '\0');
        for (char &b : bytes) {
            const unsigned r = random() % 20;
            b = r == 0 ? '[' : r == 1 ? ']' : r == 2 ? '=' : r == 3 ? '\n' : r == 4 ? ';' : char(random());
        }
        const QString file = write(bytes, "garbage.ini");
        ProfileFile ini(file);
        for (const QString &section : ini.sections()) {
            for (const QString &key : ini.keys(section)) {
                ini.readString(section, key);
                ini.readInteger(section, key, 0);
            }
        }
        // Lines without CR or LF come back byte for byte when the profile is rewritten.
        ini.writeString("Added", "k", "v");
        ASSERT_TRUE(ini.flush());
        const QByteArray written = readBytes(file);
        if (!bytes.contains('\r') && !bytes.contains('\n') && !bytes.startsWith("\xFF\xFE")
            && !bytes.startsWith("\xFE\xFF") && !bytes.startsWith("\xEF\xBB\xBF") && !bytes.isEmpty()) {
            EXPECT_TRUE(written.startsWith(QByteArray(bytes + "\r\n"))) << round;
        }
        EXPECT_EQ(ProfileFile(file).readString("added", "K"), "v") << round;
    }
}
