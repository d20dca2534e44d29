// Writes the seed corpora of the fuzz targets with the project's own writers and fixture builders
// (package writer, PE image builder, profile writer, credential encoder), so that every seed is a
// well-formed input the product itself makes or reads.
//
//   tivra-fuzz-seeds <folder>   (the committed seeds live in tests/fuzz/corpus)
//
// Each target's seeds go to <folder>/<target>/. Seeds are small: the fuzzer mutates them.
#include "core/buildsettings.h"
#include "db/credentials.h"
#include "platform/profile.h"
#include "support/packagebuilder.h"
#include "support/pewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace tivra;
using namespace tivra::testsupport;

namespace {

QString g_root;
int g_failures = 0;

void put(const QString &target, const QString &name, const QByteArray &bytes)
{
    const QString folder = g_root + QLatin1Char('/') + target;
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        ++g_failures;
    }
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

void packageSeeds(const QString &scratch)
{
    const QString config = QStringLiteral(
        "[Outros]\nVersaoPacote=2.4.017\nVersaoRequerida=2.4.000\nExistBin=1\n"
        "[Binarios]\nAppTivra\\Producao\\Bin\\App.dll=1\n");
    const QByteArray dll = buildPeImage(PeVersion{2, 4, 17, 3});
    const struct {
        const char *name;
        PackageEncryption encryption;
    } kinds[] = {{"aes.pack", PackageEncryption::Aes256},
                 {"pkware.pack", PackageEncryption::TraditionalPkware},
                 {"plain.pack", PackageEncryption::None}};
    for (const auto &kind : kinds) {
        const QString path = scratch + QLatin1Char('/') + QLatin1String(kind.name);
        PackageBuilder()
            .config(config)
            .directory(QStringLiteral("AppTivra/Producao/Bin/"))
            .add(QStringLiteral("AppTivra\\Producao\\Bin\\App.dll"), dll)
            .addText(QStringLiteral("ScriptsDB2.sql"), QStringLiteral("CREATE TABLE T (A INT);\n"))
            .encryption(kind.encryption)
            .write(path);
        put(QStringLiteral("package_reader"), QLatin1String(kind.name), readFile(path));
    }
}

void memberNameSeeds()
{
    const char *names[] = {
        "Config.ini", "AppTivra\\Producao\\Bin\\App.dll", "AppTivra/Producao/Bin/", "./AppTivra//Bin/./x.dll",
        "..\\..\\Windows\\System32\\x.dll", "C:\\Tivra\\x", "/etc/passwd", "\\\\server\\share\\x",
        "Relat\xc3\xb3rios\\Or\xc3\xa7" "amento.rpt",
    };
    int i = 0;
    for (const char *name : names)
        put(QStringLiteral("member_names"), QStringLiteral("name%1").arg(++i), QByteArray(name));
}

void profileSeeds(const QString &scratch, const QString &sourceDir)
{
    // The demo package's Config.ini as the maker ships it.
    put(QStringLiteral("profile"), QStringLiteral("package-config.ini"),
        readFile(sourceDir + QStringLiteral("/tools/demo/package/Config.ini")));

    // Written by the profile writer: ANSI, and UTF-16LE (read and written back in that encoding).
    const QString ansi = scratch + QStringLiteral("/ansi.ini");
    {
        platform::ProfileFile ini(ansi);
        ini.writeString(QStringLiteral("Diretorios"), QStringLiteral("Aplicacao"), QStringLiteral("C:\\Sistema\\AppTivra"));
        ini.writeString(QStringLiteral("Diretorios"), QStringLiteral("Backup"), QStringLiteral("\"D:\\Backup\""));
        ini.writeString(QStringLiteral("Opções"), QStringLiteral("Tentativas"), QStringLiteral("0x1F"));
        ini.writeString(QStringLiteral("Opções"), QStringLiteral("Ativo"), QStringLiteral("-1"));
        ini.flush();
    }
    put(QStringLiteral("profile"), QStringLiteral("ansi.ini"), readFile(ansi) + windowsText(QStringLiteral("; comentário\n[sem fim\nsem igual\n")));

    const QString unicode = scratch + QStringLiteral("/utf16.ini");
    {
        QFile file(unicode);
        if (file.open(QIODevice::WriteOnly))
            file.write(utf16le(QStringLiteral("[DB2]\r\nDriver=IBM DB2 ODBC DRIVER\r\n")));
    }
    {
        platform::ProfileFile ini(unicode);
        ini.writeString(QStringLiteral("ORACLE"), QStringLiteral("Embedded"), QStringLiteral("Databases"));
        ini.flush();
    }
    put(QStringLiteral("profile"), QStringLiteral("utf16.ini"), readFile(unicode));
}

void registrySeeds()
{
    const BuildSettings &settings = BuildSettings::compiled();
    const QString user = EncodeCredential(QStringLiteral("tivra"), settings.credentialKeyUser);
    const QString password = EncodeCredential(QStringLiteral("Prod#2024"), settings.credentialKeyPassword);
    const QString key = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n");
    const QString values = QStringLiteral("\"UserName\"=\"%1\"\r\n\"Password\"=\"%2\"\r\n\"DBVendor\"=\"ORACLE\"\r\n")
                               .arg(user, password);
    put(QStringLiteral("registry"), QStringLiteral("regedit4.reg"),
        windowsText(QStringLiteral("REGEDIT4\n\n") + key + values));
    put(QStringLiteral("registry"), QStringLiteral("version5-utf16.reg"),
        utf16le(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n")
                + QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Morvane\\Tivra\\ServerDb\\Aliases\\PROD]\r\n")
                + values + QStringLiteral("\"Porta\"=dword:0000c350\r\n\"Caminho\"=hex(2):43,00,3a,00,\\\r\n  5c,00,00,00\r\n")
                + QStringLiteral("@=\"padr\u00e3o\"\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Velho]\r\n")));
}

void peSeeds()
{
    PeImageOptions options;
    options.fileVersion = {2, 4, 17, 3};
    put(QStringLiteral("pe_version"), QStringLiteral("pe32.dll"), buildPeImage(options));
    options.format = PeFormat::Pe32Plus;
    options.dll = false;
    put(QStringLiteral("pe_version"), QStringLiteral("pe32plus.exe"), buildPeImage(options));
    options.resources = PeResources::WithoutVersion;
    put(QStringLiteral("pe_version"), QStringLiteral("manifest-only.exe"), buildPeImage(options));
}

void credentialSeeds()
{
    const BuildSettings &settings = BuildSettings::compiled();
    put(QStringLiteral("credentials"), QStringLiteral("user"),
        EncodeCredential(QStringLiteral("DBSM"), settings.credentialKeyUser).toLatin1());
    put(QStringLiteral("credentials"), QStringLiteral("password"),
        EncodeCredential(QStringLiteral("Hml#2024 senha longa ç"), settings.credentialKeyPassword).toLatin1());
    put(QStringLiteral("credentials"), QStringLiteral("base64"), Base64Encode(QByteArrayLiteral("tivra:Prod#2024")).toLatin1());
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    packageSeeds(scratch.path());
    memberNameSeeds();
    profileSeeds(scratch.path(), QStringLiteral(TIVRA_SOURCE_DIR));
    registrySeeds();
    peSeeds();
    credentialSeeds();
    std::printf("seeds written to %s\n", qPrintable(g_root));
    return g_failures == 0 ? 0 : 1;
}
