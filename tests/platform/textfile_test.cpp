#include "platform/textfile.h"

#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tivra::platform;
using namespace tivra::platform::test;

TEST(Windows1252, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toWindows1252(text), all);
}

TEST(Windows1252, MapsTheHighControlRangeAsWindowsDoes)
{
    EXPECT_EQ(fromWindows1252("\x80\x8A\x9F\xE7"), QString::fromUtf8("€ŠŸç"));
    // Bytes the code page leaves undefined map to the C1 control of the same number.
    for (const char b : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_EQ(fromWindows1252(QByteArray(1, b)).at(0).unicode(), static_cast<unsigned char>(b));
    EXPECT_EQ(toWindows1252(QString::fromUtf8("Atualização – “ok” €")), QByteArray("Atualiza\xE7\xE3o \x96 \x93ok\x94 \x80"));
}

TEST(Windows1252, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    EXPECT_EQ(toWindows1252(QString::fromUtf8("a\u4E2Db")), QByteArray("a?b"));
    EXPECT_EQ(toWindows1252(QString::fromUtf8("x\U0001F600y")), QByteArray("x?y"));  // a surrogate pair
    EXPECT_EQ(toWindows1252(QString(QChar(0xD800)) + u'z'), QByteArray("?z"));    // a lone surrogate
}

TEST(SplitLines, AcceptsEveryLineEndAndKeepsEmptyLines)
{
    EXPECT_EQ(splitLines(QStringLiteral("a\r\nb\nc\rd")), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines(QStringLiteral("a\r\n\r\nb\n\nc")), (QStringList{"a", "", "b", "", "c"}));
    EXPECT_EQ(splitLines(QStringLiteral("a\r\n")), QStringList{"a"});
    EXPECT_EQ(splitLines(QStringLiteral("a\n\r")), (QStringList{"a", ""}));  // LF then a lone CR
    EXPECT_EQ(splitLines(QStringLiteral("\r\n")), QStringList{""});
    EXPECT_TRUE(splitLines(QString()).isEmpty());
}

TEST(TextFile, WritesWindows1252ItemsEachEndedByCrLfReplacingTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    ASSERT_TRUE(writeBytes(path, QByteArray(4096, 'x')));
    ASSERT_TRUE(writeTextItems(path, {QString::fromUtf8("Ação"), QString(), QStringLiteral("fim")}));
    EXPECT_EQ(readBytes(path), QByteArray("A\xE7\xE3o\r\n\r\nfim\r\n"));
    ASSERT_TRUE(writeTextItems(path, {}));
    EXPECT_EQ(readBytes(path), QByteArray());
    // Only the target remains in the folder: the temporary file was renamed over it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"log.txt"});
}

TEST(TextFile, ReportsAFailedWrite)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(writeTextItems(dir.filePath(QStringLiteral("missing/log.txt")), {"a"}, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(writeTextItems(dir.path(), {"a"}, &error));  // a folder in the way
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST(TextFile, KeepsTheOldFileWhenTheWriteFails)
{
    if (runningAsRoot())
        GTEST_SKIP() << "permissions do not stop the superuser";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.txt"));
    ASSERT_TRUE(writeBytes(path, "old\r\n"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    EXPECT_FALSE(writeTextItems(path, {"new"}, &error));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readBytes(path), QByteArray("old\r\n"));
}

TEST(TextFile, ANewFileNeverReplacesOneThatExistsButTakesTheNextSuffix)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("123_Log_O1.0_05032011_1407.txt"));
    EXPECT_EQ(writeNewTextItems(path, {"primeira"}), path);
    // The second and third in the same minute get a suffix; the first stays as it was.
    EXPECT_EQ(writeNewTextItems(path, {"segunda"}), dir.filePath("123_Log_O1.0_05032011_1407_2.txt"));
    EXPECT_EQ(writeNewTextItems(path, {"terceira"}), dir.filePath("123_Log_O1.0_05032011_1407_3.txt"));
    EXPECT_EQ(readBytes(path), QByteArray("primeira\r\n"));
    EXPECT_EQ(readBytes(dir.filePath("123_Log_O1.0_05032011_1407_2.txt")), QByteArray("segunda\r\n"));
    // A companion that exists (a summary left without its log) takes the name too.
    ASSERT_TRUE(writeBytes(dir.filePath("x_1407.json"), "{}"));
    EXPECT_EQ(writeNewTextItems(dir.filePath("x_1407.txt"), {"a"}, nullptr, {".json"}), dir.filePath("x_1407_2.txt"));
    EXPECT_EQ(readBytes(dir.filePath("x_1407.json")), QByteArray("{}"));
    // A name without an extension.
    ASSERT_TRUE(writeBytes(dir.filePath("plain"), "old"));
    EXPECT_EQ(writeNewTextItems(dir.filePath("plain"), {"a"}), dir.filePath("plain_2"));
    EXPECT_EQ(readBytes(dir.filePath("plain")), QByteArray("old"));

    QString error;
    EXPECT_TRUE(writeNewTextItems(dir.filePath("missing/log.txt"), {"a"}, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(TextFile, ReadsWindows1252TextAndLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    ASSERT_TRUE(writeBytes(path, "Vers\xE3o 1\r\nlinha 2\nfim"));
    bool ok = false;
    EXPECT_EQ(readText(path, &ok), QString::fromUtf8("Versão 1\r\nlinha 2\nfim"));
    EXPECT_TRUE(ok);
    EXPECT_EQ(readTextLines(path, &ok), (QStringList{QString::fromUtf8("Versão 1"), "linha 2", "fim"}));
    EXPECT_TRUE(ok);

    EXPECT_TRUE(readTextLines(dir.filePath(QStringLiteral("none.txt")), &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(readText(dir.path(), &ok).isEmpty());  // a folder is not a readable file
    EXPECT_FALSE(ok);
}
