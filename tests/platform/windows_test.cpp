// The Windows implementations of the platform services against the real Win32 calls: the
// registry's 32-bit view of HKEY_LOCAL_MACHINE, file versions through the version API, the
// system folder, the Recycle Bin and the hidden batch. Built only for Windows (under Wine in CI).
#include "platform/fileversion.h"
#include "platform/pe.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/trash.h"

#include "support/pewriter.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace tivra::platform;
using namespace tivra::platform::test;
using namespace tivra::testsupport;

namespace {

// A key of its own under HKLM\SOFTWARE in the 32-bit view, removed with everything under it.
class RegistryKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = QStringLiteral("SOFTWARE\\TivraTests\\") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    }
    void TearDown() override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TivraTests", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key)
            == ERROR_SUCCESS) {
            const std::wstring leaf = m_root.mid(m_root.lastIndexOf(u'\\') + 1).toStdWString();
            RegDeleteTreeW(key, leaf.c_str());
            RegCloseKey(key);
        }
    }

    // Writes a value under root\sub in the given view (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
    void write(const QString &sub, const QString &name, DWORD type, const QByteArray &data, REGSAM view = KEY_WOW64_32KEY)
    {
        const std::wstring path = QString(m_root + u'\\' + sub).toStdWString();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const std::wstring valueName = name.toStdWString();
        EXPECT_EQ(RegSetValueExW(key, valueName.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.constData()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void writeText(const QString &sub, const QString &name, const QString &text, DWORD type = REG_SZ,
                   REGSAM view = KEY_WOW64_32KEY)
    {
        QByteArray data(reinterpret_cast<const char *>(text.utf16()), (text.size() + 1) * 2);
        write(sub, name, type, data, view);
    }

    QString m_root;
};

}  // namespace

TEST_F(RegistryKeys, ReadsTheAliasValuesFromTheThirtyTwoBitViewOfTheMachineKey)
{
    const QString alias = QStringLiteral("Aliases\\TIVRA_PROD");
    writeText(alias, QStringLiteral("DbHost"), QStringLiteral("srv-oracle:1521/PROD"));
    writeText(alias, QStringLiteral("DBVendor"), QStringLiteral("ORACLE"));
    writeText(alias, QStringLiteral("UserName"), QString::fromUtf8("Usuário Ação"));
    writeText(alias, QStringLiteral("Path"), QStringLiteral("%SystemRoot%\\x"), REG_EXPAND_SZ);
    // A value of the same name in the 64-bit view only: the installer never sees it.
    writeText(QStringLiteral("Aliases\\ONLY64"), QStringLiteral("DbHost"), QStringLiteral("other"), REG_SZ, KEY_WOW64_64KEY);

    const auto registry = Registry::open(QDir::tempPath());
    const QString key = QStringLiteral("\\") + m_root + QStringLiteral("\\") + alias;
    EXPECT_TRUE(registry->keyExists(key));
    EXPECT_TRUE(registry->keyExists(m_root + QStringLiteral("/Aliases/tivra_prod")));  // either separator, any case

    RegistryValue host = registry->readString(key, QStringLiteral("dbhost"));
    EXPECT_TRUE(host.ok);
    EXPECT_EQ(host.text, "srv-oracle:1521/PROD");
    EXPECT_EQ(registry->readString(key, QStringLiteral("DBVendor")).text, "ORACLE");
    EXPECT_EQ(registry->readString(key, QStringLiteral("UserName")).text, QString::fromUtf8("Usuário Ação"));
    // REG_EXPAND_SZ is read as stored, unexpanded.
    EXPECT_EQ(registry->readString(key, QStringLiteral("Path")).text, "%SystemRoot%\\x");

    const QString only64 = m_root + QStringLiteral("\\Aliases\\ONLY64");
    HKEY probe = nullptr;
    const bool viewsDiffer = RegOpenKeyExW(HKEY_LOCAL_MACHINE, only64.toStdWString().c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                                           &probe) != ERROR_SUCCESS;
    if (probe)
        RegCloseKey(probe);
    if (viewsDiffer) {
        EXPECT_FALSE(registry->keyExists(only64));
    }
}

TEST_F(RegistryKeys, AMissingKeyOrValueReadsEmptyAndOtherTypesAreRefused)
{
    const QString sub = QStringLiteral("Aliases\\TIVRA_HML");
    writeText(sub, QStringLiteral("DbHost"), QStringLiteral("db2host"));
    const DWORD number = 7;
    write(sub, QStringLiteral("Port"), REG_DWORD, QByteArray(reinterpret_cast<const char *>(&number), sizeof number));
    // A string stored without its terminating NUL is read whole.
    const QString raw = QStringLiteral("sem-terminador");
    write(sub, QStringLiteral("Raw"), REG_SZ, QByteArray(reinterpret_cast<const char *>(raw.utf16()), raw.size() * 2));

    const auto registry = Registry::open(QDir::tempPath());
    const QString key = m_root + u'\\' + sub;
    EXPECT_FALSE(registry->keyExists(m_root + QStringLiteral("\\Aliases\\NOPE")));

    const RegistryValue missingValue = registry->readString(key, QStringLiteral("Password"));
    EXPECT_TRUE(missingValue.ok);
    EXPECT_TRUE(missingValue.text.isEmpty());
    const RegistryValue missingKey = registry->readString(m_root + QStringLiteral("\\Aliases\\NOPE"), QStringLiteral("DbHost"));
    EXPECT_TRUE(missingKey.ok);
    EXPECT_TRUE(missingKey.text.isEmpty());

    const RegistryValue port = registry->readString(key, QStringLiteral("Port"));
    EXPECT_FALSE(port.ok);
    EXPECT_TRUE(port.error.contains(QStringLiteral("REG_DWORD"))) << port.error.toStdString();

    EXPECT_EQ(registry->readString(key, QStringLiteral("Raw")).text, raw);
}

TEST(WindowsFileVersions, TheVersionApiAgreesWithThePortableReader)
{
    QTemporaryDir dir;
    struct Case {
        const char *name;
        PeImageOptions options;
    };
    PeImageOptions plain;
    plain.fileVersion = {2, 4, 107, 0};
    PeImageOptions wide = plain;
    wide.format = PeFormat::Pe32Plus;
    wide.dll = false;
    wide.fileVersion = {10, 0, 19041, 1};
    PeImageOptions overflowing = plain;
    overflowing.fileVersion = {65535, 65535, 65535, 65535};
    PeImageOptions unversioned = plain;
    unversioned.resources = PeResources::None;
    PeImageOptions manifestOnly = plain;
    manifestOnly.resources = PeResources::WithoutVersion;
    const Case cases[] = {{"Plain.dll", plain}, {"Wide.exe", wide}, {"Overflow.dll", overflowing},
                          {"Unversioned.dll", unversioned}, {"Manifest.dll", manifestOnly}};
    for (const Case &c : cases) {
        const QString file = dir.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(writePeFile(file, c.options)) << c.name;
        EXPECT_EQ(fixedFileVersion(file), readPeFileVersionFromFile(file)) << c.name;
    }
    EXPECT_EQ(fileVersionText(dir.filePath(QStringLiteral("Overflow.dll"))), "65535.65535.65535.65535");
    EXPECT_FALSE(fixedFileVersion(dir.filePath(QStringLiteral("Unversioned.dll"))).has_value());
    EXPECT_FALSE(fixedFileVersion(dir.filePath(QStringLiteral("Missing.dll"))).has_value());

    // The libraries of the system folder carry real version resources.
    const QDir system(systemDirectory());
    int compared = 0;
    for (const QString &name : system.entryList({QStringLiteral("*.dll")}, QDir::Files, QDir::Name)) {
        const QString file = system.filePath(name);
        EXPECT_EQ(fixedFileVersion(file), readPeFileVersionFromFile(file)) << name.toStdString();
        if (++compared == 60)
            break;
    }
    EXPECT_GE(compared, 20);
}

TEST(WindowsSystem, TheSystemFolderHoldsTheSystemLibraries)
{
    const QString folder = systemDirectory();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/kernel32.dll")).isFile()) << folder.toStdString();
    EXPECT_FALSE(computerName().isEmpty());
    EXPECT_LE(computerName().size(), 15);
}

TEST(WindowsSystem, TheExecutableAndItsFolder)
{
    EXPECT_TRUE(QFileInfo(executablePath()).isFile());
    EXPECT_TRUE(executablePath().endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive));
    EXPECT_TRUE(installerDirectory().endsWith(u'\\')) << installerDirectory().toStdString();
}

TEST(WindowsSystem, AHiddenBatchRunsInItsFolder)
{
    QTemporaryDir dir;
    const QString folder = QDir::toNativeSeparators(dir.path());
    const QString batch = dir.filePath(QStringLiteral("prova.bat"));
    ASSERT_TRUE(writeBytes(batch, QByteArrayLiteral("@echo off\r\necho %CD%> saida.txt\r\nrename saida.txt pronto.txt\r\n")));
    QString error;
    ASSERT_TRUE(startHiddenBatch(batch, folder, &error)) << error.toStdString();
    const QString done = dir.filePath(QStringLiteral("pronto.txt"));
    QDeadlineTimer deadline(60000);
    while (!QFileInfo::exists(done) && !deadline.hasExpired())
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(done)) << "the batch did not run";
    const QString workingFolder = QString::fromLocal8Bit(readBytes(done)).trimmed();
    EXPECT_EQ(workingFolder.toLower(), folder.toLower());

    EXPECT_FALSE(startHiddenBatch(dir.filePath(QStringLiteral("falta.bat")), folder, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(WindowsTrash, AFolderGoesToTheRecycleBinAndLeavesItsPlace)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Catalogo"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/sub")));
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/sub/index.xml"), "<index/>"));
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/Tab1.cds"), QByteArray(4096, 'x')));
    EXPECT_TRUE(deleteFolderToTrash(folder));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(dir.path()));  // only the folder named goes
    EXPECT_TRUE(deleteFolderToTrash(folder));     // gone already: counts as deleted
    EXPECT_FALSE(deleteFolderToTrash(QDir::rootPath()));
}
