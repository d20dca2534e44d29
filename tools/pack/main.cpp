// tivra-pack [--traditional] [--password TEXT] SOURCE_DIR OUTPUT_FILE
//
// Packs every file and folder under SOURCE_DIR, with names relative to it, into an update
// package encrypted with WinZip AES-256 (default) or the traditional PKWARE method, using the
// package password of this build unless --password is given. The output appears only when the
// whole archive was written.
#include "core/buildsettings.h"
#include "package/packagearchive.h"
#include "package/packagewriter.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usage(const QString &problem)
{
    if (!problem.isEmpty())
        print(stderr, QStringLiteral("tivra-pack: ") + problem);
    print(stderr, QStringLiteral("Uso: tivra-pack [--traditional] [--password SENHA] PASTA_ORIGEM ARQUIVO_SAIDA"));
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);

    tivra::PackageEncryption encryption = tivra::PackageEncryption::Aes256;
    QString password = tivra::BuildSettings::compiled().packagePassword;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--traditional")) {
            encryption = tivra::PackageEncryption::TraditionalPkware;
        } else if (argument == QLatin1String("--password")) {
            if (++i >= arguments.size())
                return usage(QStringLiteral("--password exige um valor."));
            password = arguments[i];
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            usage({});
            return 0;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("opção desconhecida: ") + argument);
        } else {
            positional.append(argument);
        }
    }
    if (positional.size() != 2)
        return usage(QStringLiteral("informe a pasta de origem e o arquivo de saída."));
    if (password.isEmpty())
        return usage(QStringLiteral("a senha não pode ser vazia."));

    try {
        const auto members = tivra::packFolder(positional[0], positional[1], password, encryption);
        qint64 files = 0;
        qint64 bytes = 0;
        for (const tivra::PackedMember &member : members) {
            if (member.directory) {
                print(stdout, QStringLiteral("  pasta    ") + member.name);
            } else {
                print(stdout, QStringLiteral("  arquivo  ") + member.name + QStringLiteral(" (") +
                                  QString::number(member.size) + QStringLiteral(" bytes)"));
                ++files;
                bytes += member.size;
            }
        }
        print(stdout, QStringLiteral("Total: %1 membros (%2 arquivos, %3 bytes) em \"%4\", criptografia %5.")
                          .arg(members.size())
                          .arg(files)
                          .arg(bytes)
                          .arg(positional[1], encryption == tivra::PackageEncryption::Aes256
                                                  ? QStringLiteral("AES-256")
                                                  : QStringLiteral("PKWARE tradicional")));
        return 0;
    } catch (const tivra::PackageError &error) {
        print(stderr, QStringLiteral("tivra-pack: ") + error.message());
        return 1;
    }
}
