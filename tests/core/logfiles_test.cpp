#include "core/clock.h"
#include "core/logfiles.h"
#include "core/session.h"
#include "support/scriptedui.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tivra;

TEST(LogFiles, NamesCarryCustomerLetterVersionAndMinute)
{
    const QDateTime moment(QDate(2011, 3, 5), QTime(14, 7, 59));
    EXPECT_EQ(logFileName("123", kResultWithFailures, "2.4.107", moment), QStringLiteral("123_Log_P2.4.107_05032011_1407.txt"));
    EXPECT_EQ(logFileName("", kResultInterrupted, "0.0.001", moment), QStringLiteral("_Log_E0.0.001_05032011_1407.txt"));
    EXPECT_EQ(logbookFileName("2.4.107", moment), QStringLiteral("ManualBordo_v2.4.107_05032011_1407.txt"));
}

TEST(LogFiles, TextsFromOutsideAreMadeSafeForFileNames)
{
    const QDateTime moment(QDate(2011, 3, 5), QTime(14, 7, 59));
    // A customer code read from a database cannot lead the log anywhere else.
    const QString escaped = logFileName("../../Sistema/X", kResultCompleted, "2.4.107", moment);
    EXPECT_FALSE(escaped.contains('/') || escaped.contains('\\') || escaped.contains("..")) << escaped.toStdString();
    EXPECT_EQ(logFileName("12/34", kResultCompleted, "1.0", moment), QStringLiteral("12_34_Log_O1.0_05032011_1407.txt"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("a:b*c?d\"e<f>g|h\\i\tj")), QStringLiteral("a_b_c_d_e_f_g_h_i_j"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("CON")), QStringLiteral("_CON"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("com1.txt")), QStringLiteral("_com1.txt"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("COMPANY")), QStringLiteral("COMPANY"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("fim. ")), QStringLiteral("fim"));
    EXPECT_EQ(safeFileNamePart(QStringLiteral("2.4.107")), QStringLiteral("2.4.107"));  // ordinary texts stay
    EXPECT_EQ(safeFileNamePart(QStringLiteral("Instituição São José")), QStringLiteral("Instituição São José"));
    // A long version cannot push the name past what file systems take.
    const QString longVersion = logbookFileName(QString(300, u'9'), moment);
    EXPECT_LE(longVersion.size(), 120);
    EXPECT_TRUE(longVersion.startsWith(QStringLiteral("ManualBordo_v") + QString(kMaxFileNamePart, u'9') + '_'));
}

TEST(LogFiles, SavedInWindows1252WithCrLfAndReplacingAnOlderFile)
{
    QTemporaryDir dir;
    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
    session.customerCode = "123";
    session.package.versaoPacote = "2.4.107";
    session.UpdateStatus("Início da atualização", true, "", 1, false);
    session.UpdateStatus("", true, "", 1, false);
    session.UpdateStatus("linha 1\r\nlinha 2", true, "", 1, false);
    PreparaManualBordo(session);

    QFile::remove(dir.path() + "/123_Log_O2.4.107_05032011_1407.txt");
    {
        QFile old(dir.path() + "/123_Log_O2.4.107_05032011_1407.txt");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'z'));
    }
    QString error;
    const QString path = saveLogFile(session, dir.path(), kResultCompleted, &error);
    ASSERT_FALSE(path.isEmpty()) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("05/03/2011 - 14:07:33- In\xED" "cio da atualiza\xE7\xE3o\r\n\r\n\r\n"
                                         "05/03/2011 - 14:07:33- linha 1\r\nlinha 2\r\n"));

    const QString book = saveLogbook(session, dir.path() + "/", &error);
    QFile bookFile(book);
    ASSERT_TRUE(bookFile.open(QIODevice::ReadOnly));
    const QByteArray content = bookFile.readAll();
    EXPECT_TRUE(content.startsWith("*********************** Manual de Bordo ***********************\r\n\r\n"
                                   "- Data da Atualiza\xE7\xE3o: 05/03/2011 - 14:07:33\r\n"
                                   "- Vers\xE3o do Pacote de Atualiza\xE7\xE3o: 2.4.107\r\n"
                                   "- Solicitado por: \r\n- Executado por: \r\n"));
    setClockForTesting({});
}

TEST(LogFiles, AnUnwritableFolderReportsAnError)
{
    testsupport::ScriptedUserInterface ui;
    InstallerSession session(ui);
    QString error;
    EXPECT_TRUE(saveLogFile(session, "/proc/no-such-folder", kResultCompleted, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}
