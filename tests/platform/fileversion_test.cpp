#include "platform/fileversion.h"

#include "support/pewriter.h"
#include "testutil.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>

using namespace tivra::platform;
using namespace tivra::platform::test;
using namespace tivra::testsupport;

TEST(FileVersionNumber, RemovesDotsAndDashesAndReadsADecimalNumber)
{
    const std::pair<const char *, qint64> cases[] = {
        {"2.4.107.0", 241070},
        {"2011-03-05", 20110305},
        {"2147483647", 2147483647},
        {"2147.483.648", 2147483648},
        {"2.4.10700.12345", 241070012345},  // beyond 32 bits: read whole, never as 0
        {"9223372036854775807", 9223372036854775807},
        {"9223372036854775808", 0},  // beyond the signed 64-bit range
        {"99999999999999999999999", 0},
        {"-5", 5},
        {"", 0},
        {"...", 0},
        {"1.2a", 0},
        {" 1", 0},
        {"+1", 0},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(fileVersionNumber(QString::fromLatin1(text)), expected) << text;
    EXPECT_EQ(fileVersionNumber(QString::fromUtf8("１.２")), 0);  // digits of other scripts are no digits
    // Only a number too large is a version that does not fit; other non-numbers read 0 as before.
    EXPECT_TRUE(fileVersionFits(QStringLiteral("9223372036854775807")));
    EXPECT_FALSE(fileVersionFits(QStringLiteral("65535.65535.65535.65535")));
    EXPECT_TRUE(fileVersionFits(QStringLiteral("abc")));
    EXPECT_FALSE(versionDigitsFit(QString(200, u'9'), u"."));
}

TEST(FileVersionText, GivesTheFixedVersionWhateverTheExtension)
{
    QTemporaryDir dir;
    for (const char *name : {"App.dll", "Tool.EXE", "Pacote.bpl", "noextension"}) {
        const QString file = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(writePeFile(file, PeVersion{2, 4, 107, 0}));
        EXPECT_EQ(fileVersionText(file), "2.4.107.0") << name;
        EXPECT_EQ(fixedFileVersion(file), (PeFileVersion{2, 4, 107, 0})) << name;
    }
}

TEST(FileVersionText, FallsBackToTheLocalModificationDate)
{
    QTemporaryDir dir;
    PeImageOptions noVersion;
    noVersion.resources = PeResources::WithoutVersion;
    const QString files[] = {dir.filePath(QStringLiteral("NoVersion.dll")), dir.filePath(QStringLiteral("Leiame.txt"))};
    ASSERT_TRUE(writePeFile(files[0], noVersion));
    ASSERT_TRUE(writeBytes(files[1], "texto"));
    const QDateTime modified(QDate(2011, 3, 5), QTime(1, 30), QTimeZone::utc());
    {
        // Three hours behind UTC, so that a date taken in UTC would be a day off.
        EnvironmentOverride zone("TZ", "BRT3");
        tzset();
        for (const QString &file : files) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
            f.close();
            EXPECT_EQ(fileVersionText(file), "2011-03-04") << file.toStdString();
        }
    }
    tzset();
}

TEST(FileVersionText, IsEmptyForWhatIsNoFile)
{
    QTemporaryDir dir;
    EXPECT_EQ(fileVersionText(dir.filePath(QStringLiteral("missing.dll"))), "");
    EXPECT_EQ(fileVersionText(dir.path()), "");
    EXPECT_EQ(fileVersionText(QString()), "");
}
