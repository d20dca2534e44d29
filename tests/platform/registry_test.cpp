#include "platform/registry.h"

#include "testutil.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace tivra::platform;
using namespace tivra::platform::test;

namespace {

const QString kAliases = QStringLiteral("SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases");

class RegistryExport : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "the registry export file is how Linux reads the registry; Windows reads the registry API "
                        "(tests/platform/windows_test.cpp)";
#endif
    }
    // Opens an export file through the installer directory, as the program does.
    std::unique_ptr<Registry> open(const QByteArray &bytes)
    {
        EXPECT_TRUE(writeBytes(m_dir.filePath(QStringLiteral("registry.reg")), bytes));
        return Registry::open(m_dir.path() + u'/');
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    EnvironmentOverride m_noOverride{"TIVRA_REGISTRY", QByteArray()};
    QTemporaryDir m_dir;
};

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

QString text(const Registry &registry, const QString &key, const QString &value)
{
    const RegistryValue v = registry.readString(key, value);
    EXPECT_TRUE(v.ok) << v.error.toStdString();
    return v.text;
}

const char kExport[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; the aliases of the installation\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n"
    "\"VENDOR\"=\"DB2\"\r\n"
    "\"Path\"=\"C:\\\\Tivra\\\\\\\"x\\\"\"\r\n"
    "\"Loose\"=\"C:\\Tivra\"\r\n"
    "@=\"default text\"\r\n"
    "\"Port\"=dword:0000c350\r\n"
    "\"Blob\"=hex:01,02,03\r\n"
    "\"Expand\"=hex(2):25,00,50,00,41,00,\\\r\n"
    "  54,00,48,00,25,00,00,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"Removed\"=\"x\"\r\n"
    "\"Removed\"=-\r\n"
    "\"Broken\"=\"no closing quote\r\n"
    "\"BadDword\"=dword:xyz\r\n"
    "garbage line\r\n"
    "\r\n"
    "[hklm\\software\\morvane\\tivra\\serverdb\\aliases\\HOM]\r\n"
    "\"VENDOR\"=\"ORACLE\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\USER]\r\n"
    "\"VENDOR\"=\"MSSQL\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Old]\r\n"
    "\"A\"=\"1\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Old\\Child]\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Old]\r\n";

}  // namespace

TEST_F(RegistryExport, ReadsKeysAndStringValuesCaseInsensitively)
{
    const auto registry = open(kExport);
    const QString prod = kAliases + QStringLiteral("\\PROD");
    EXPECT_TRUE(registry->keyExists(prod));
    EXPECT_TRUE(registry->keyExists(u'\\' + prod.toLower() + u'\\'));
    EXPECT_TRUE(registry->keyExists(kAliases));  // parents exist even when the export omits them
    EXPECT_TRUE(registry->keyExists(QStringLiteral("SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\HOM")));
    EXPECT_FALSE(registry->keyExists(kAliases + QStringLiteral("\\USER")));  // another root
    EXPECT_FALSE(registry->keyExists(QStringLiteral("SOFTWARE\\Morvane\\Old")));  // deleted
    EXPECT_FALSE(registry->keyExists(QStringLiteral("SOFTWARE\\Morvane\\Old\\Child")));
    EXPECT_FALSE(registry->keyExists(QStringLiteral("SOFTWARE\\Morvane\\Tivra\\Missing")));

    EXPECT_EQ(text(*registry, prod, "vendor"), "DB2");
    EXPECT_EQ(text(*registry, prod, "Path"), "C:\\Tivra\\\"x\"");
    EXPECT_EQ(text(*registry, prod, "Loose"), "C:\\Tivra");  // an unescaped backslash stays
    EXPECT_EQ(text(*registry, prod, ""), "default text");
    EXPECT_EQ(text(*registry, prod, "Expand"), "%PATH%");  // REG_EXPAND_SZ over two lines
    EXPECT_EQ(text(*registry, prod, "Removed"), "");
    EXPECT_EQ(text(*registry, prod, "Broken"), "");
    EXPECT_EQ(text(*registry, prod, "BadDword"), "");
    EXPECT_EQ(text(*registry, prod, "Missing"), "");
    EXPECT_EQ(text(*registry, kAliases + QStringLiteral("\\Nowhere"), "VENDOR"), "");
}

TEST_F(RegistryExport, ReportsValuesThatAreNotStrings)
{
    const auto registry = open(kExport);
    const QString prod = kAliases + QStringLiteral("\\PROD");
    for (const char *name : {"Port", "Blob", "Multi", "Big"}) {
        const RegistryValue v = registry->readString(prod, name);
        EXPECT_FALSE(v.ok) << name;
        EXPECT_TRUE(v.text.isEmpty()) << name;
        EXPECT_TRUE(v.error.contains(QLatin1String(name))) << v.error.toStdString();
    }
    EXPECT_TRUE(registry->readString(prod, "Port").error.contains("REG_DWORD"));
}

TEST_F(RegistryExport, SeesTheThirtyTwoBitViewOfSoftware)
{
    const auto registry = open(
        "Windows Registry Editor Version 5.00\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Both]\r\n"
        "\"V\"=\"native\"\r\n"
        "\"OnlyNative\"=\"n\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Morvane\\Both]\r\n"
        "\"V\"=\"redirected\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Morvane\\OnlyWow]\r\n"
        "\"V\"=\"wow\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\OnlyNative]\r\n"
        "\"V\"=\"plain\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\Morvane]\r\n"
        "\"V\"=\"system\"\r\n");
    EXPECT_EQ(text(*registry, "SOFTWARE\\Morvane\\Both", "V"), "redirected");
    EXPECT_EQ(text(*registry, "SOFTWARE\\Morvane\\Both", "OnlyNative"), "");  // the redirected key is what is seen
    EXPECT_EQ(text(*registry, "\\software\\morvane\\onlywow", "v"), "wow");
    EXPECT_EQ(text(*registry, "SOFTWARE\\Morvane\\OnlyNative", "V"), "plain");
    EXPECT_EQ(text(*registry, "SOFTWARE\\WOW6432Node\\Morvane\\Both", "V"), "redirected");
    EXPECT_EQ(text(*registry, "SYSTEM\\Morvane", "V"), "system");
    EXPECT_TRUE(registry->keyExists("SOFTWARE\\Morvane\\OnlyWow"));
}

TEST_F(RegistryExport, ReadsUnicodeAnsiAndRegedit4Exports)
{
    const QString body = QString::fromUtf8(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PRODUÇÃO]\r\n"
        "\"Descrição\"=\"Produção 中\"\r\n"
        "\"Expand\"=hex(2):41,00,e7,00,00,00\r\n");
    const QString key = kAliases + QString::fromUtf8("\\produção");

    auto registry = open(utf16le(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n") + body));
    EXPECT_EQ(text(*registry, key, QString::fromUtf8("DESCRIÇÃO")), QString::fromUtf8("Produção 中"));
    EXPECT_EQ(text(*registry, key, "Expand"), QString::fromUtf8("Aç"));

    registry = open("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n" + body.toUtf8());
    EXPECT_EQ(text(*registry, key, QString::fromUtf8("Descrição")), QString::fromUtf8("Produção 中"));

    // REGEDIT4: ANSI text, and hex(2) data holds ANSI bytes.
    registry = open("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"D\"=\"Produ\xE7\xE3o\"\r\n"
                    "\"E\"=hex(2):41,e7,00\r\n");
    EXPECT_EQ(text(*registry, "SOFTWARE\\X", "D"), QString::fromUtf8("Produção"));
    EXPECT_EQ(text(*registry, "SOFTWARE\\X", "E"), QString::fromUtf8("Aç"));
}

TEST_F(RegistryExport, FindsTheFileThroughTheEnvironmentOrTheInstallerDirectory)
{
    auto registry = Registry::open(path("empty-folder/"));  // no registry.reg: an empty registry
    EXPECT_FALSE(registry->keyExists("SOFTWARE"));
    EXPECT_TRUE(registry->readString("SOFTWARE\\X", "V").ok);

    ASSERT_TRUE(writeBytes(path("other.reg"), "REGEDIT4\r\n[HKLM\\SOFTWARE\\FromEnv]\r\n"));
    {
        EnvironmentOverride env("TIVRA_REGISTRY", path("other.reg").toLocal8Bit());
        registry = Registry::open(path("empty-folder/"));
        EXPECT_TRUE(registry->keyExists("SOFTWARE\\FromEnv"));
    }
    ASSERT_TRUE(writeBytes(path("registry.reg"), "REGEDIT4\r\n[HKLM\\SOFTWARE\\Beside]\r\n"));
    EXPECT_TRUE(Registry::open(path("")) ->keyExists("SOFTWARE\\Beside"));  // separator added when missing
}

TEST_F(RegistryExport, SurvivesGarbageAndTruncation)
{
    // Every prefix of a valid export parses; a cut never yields a wrong value.
    const QByteArray full = utf16le(QString::fromLatin1(kExport));
    for (qsizetype length = 0; length <= full.size(); length += 3) {
        const auto registry = open(full.left(length));
        const RegistryValue v = registry->readString(kAliases + QStringLiteral("\\PROD"), "VENDOR");
        EXPECT_TRUE(v.ok);
        EXPECT_TRUE(v.text.isEmpty() || v.text == "DB2") << length;
    }
    std::mt19937 random(99);
    const char pieces[][12] = {"[", "]", "\"", "=", "\\", "\r\n", "hex(2):", "dword:", "@", "-", "HKLM\\", ",00"};
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = round % 2 ? QByteArray("\xFF\xFE") : QByteArray();
        for (int i = 0; i < 300; ++i)
            bytes += random() % 3 ? QByteArray(pieces[random() % 12]) : QByteArray(1, char(random()));
        const auto registry = open(bytes);
        registry->keyExists("SOFTWARE\\X");
        registry->readString("SOFTWARE\\X", "V");
    }
}
