#include "platform/system.h"

#include "testutil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace tivra::platform;
using namespace tivra::platform::test;

TEST(CommandLine, SwitchesAreWholeCaseSensitiveArgumentsAfterTheProgramName)
{
    resetCommandLineArguments();
    EXPECT_TRUE(commandLineArguments().isEmpty());  // no application object yet
    char program[] = "/darnu";  // the program name is never a switch
    char first[] = "/noupdate";
    char second[] = "x /nomd";
    char *argv[] = {program, first, second, nullptr};
    int argc = 3;
    QCoreApplication app(argc, argv);
    EXPECT_EQ(commandLineArguments(), (QStringList{"/noupdate", "x /nomd"}));
    EXPECT_TRUE(ExistParametro("/noupdate"));
    for (const char *absent : {"/darnu", "/NOUPDATE", "/nomd", "/no", ""})
        EXPECT_FALSE(ExistParametro(absent)) << absent;

    setCommandLineArguments({"/IGNOREFILEUSE"});
    EXPECT_TRUE(ExistParametro("/IGNOREFILEUSE"));
    EXPECT_FALSE(ExistParametro("/ignorefileuse"));
    resetCommandLineArguments();
}

TEST(InstallerDirectory, IsTheExecutableFolderWithATrailingSeparator)
{
#ifdef _WIN32
    // Windows names the running executable itself (GetModuleFileName), whatever argv[0] says;
    // the separator is "\\".
    const QString expected = QDir::toNativeSeparators(QFileInfo(executablePath()).absolutePath() + u'/');
    EXPECT_TRUE(expected.endsWith(u'\\'));
    EXPECT_EQ(installerDirectory(), expected);
    char program[] = "installer";
    char *argv[] = {program, nullptr};
    int argc = 1;
    QCoreApplication app(argc, argv);
    EXPECT_EQ(installerDirectory(), expected);
#else
    const QString expected = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath() + u'/';
    EXPECT_EQ(installerDirectory(), expected);
    char program[] = "installer";
    char *argv[] = {program, nullptr};
    int argc = 1;
    QCoreApplication app(argc, argv);
    EXPECT_EQ(installerDirectory(), QCoreApplication::applicationDirPath() + u'/');
#endif
}

TEST(Desktop, OpenDocumentHandsThePathToTheDesktopOpener)
{
#ifdef _WIN32
    GTEST_SKIP() << "the desktop opener of Linux (xdg-open); Windows opens documents through the shell";
#endif
    // A stand-in opener first on PATH records what it was given.
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("opened.txt"));
    const QString opener = dir.filePath(QStringLiteral("xdg-open"));
    ASSERT_TRUE(writeBytes(opener, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"" + record.toLocal8Bit() + ".tmp\"\nmv \""
                                       + record.toLocal8Bit() + ".tmp\" \"" + record.toLocal8Bit() + "\"\n"));
    QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EnvironmentOverride path("PATH", dir.path().toLocal8Bit() + ":/usr/bin:/bin");

    const QString document = dir.filePath(QStringLiteral("Manual de Bordo.txt"));
    EXPECT_TRUE(openDocument(document));
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(record) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(readBytes(record), "1|" + document.toLocal8Bit());
    EXPECT_FALSE(openDocument(QString()));
}
