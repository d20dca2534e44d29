// tivra-pack [--traditional] [--password TEXT] [--sign KEYFILE] SOURCE_DIR OUTPUT_FILE
// tivra-pack --sign KEYFILE FILE
//
// Packs every file and folder under SOURCE_DIR, with names relative to it, into an update
// package encrypted with WinZip AES-256 (default) or the traditional PKWARE method, using the
// package password of this build unless --password is given. The output appears only when the
// whole archive was written.
//
// --sign KEYFILE writes the detached Ed25519 signature of the output (the 64 signature bytes) to
// OUTPUT_FILE.sig, with the PEM private key of KEYFILE ("openssl genpkey -algorithm ed25519").
// With a single FILE it only signs that file (an installer executable to publish, say). A build
// with a public key accepts a downloaded package or installer only with a valid signature.
#include "core/buildsettings.h"
#include "package/packagearchive.h"
#include "package/packagewriter.h"
#include "remote/signature.h"

#include <QSaveFile>

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
    print(stderr, QStringLiteral("Uso: tivra-pack [--traditional] [--password SENHA] [--sign CHAVE.pem] PASTA_ORIGEM "
                                 "ARQUIVO_SAIDA"));
    print(stderr, QStringLiteral("     tivra-pack --sign CHAVE.pem ARQUIVO"));
    return 2;
}

// Writes FILE.sig beside the file; false (after saying why) when it cannot.
bool writeSignature(const QString &keyFile, const QString &file)
{
    QString error;
    const QByteArray signature = tivra::remote::signFileEd25519(keyFile, file, &error);
    if (signature.isEmpty()) {
        print(stderr, QStringLiteral("tivra-pack: ") + error);
        return false;
    }
    QSaveFile out(file + QStringLiteral(".sig"));
    if (!out.open(QIODevice::WriteOnly) || out.write(signature) != signature.size() || !out.commit()) {
        print(stderr, QStringLiteral("tivra-pack: não foi possível gravar \"") + file + QStringLiteral(".sig\"."));
        return false;
    }
    print(stdout, QStringLiteral("Assinatura gravada em \"") + file + QStringLiteral(".sig\"."));
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);

    tivra::PackageEncryption encryption = tivra::PackageEncryption::Aes256;
    QString password = tivra::BuildSettings::compiled().packagePassword;
    QString keyFile;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--traditional")) {
            encryption = tivra::PackageEncryption::TraditionalPkware;
        } else if (argument == QLatin1String("--password")) {
            if (++i >= arguments.size())
                return usage(QStringLiteral("--password exige um valor."));
            password = arguments[i];
        } else if (argument == QLatin1String("--sign")) {
            if (++i >= arguments.size())
                return usage(QStringLiteral("--sign exige o arquivo da chave."));
            keyFile = arguments[i];
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            usage({});
            return 0;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("opção desconhecida: ") + argument);
        } else {
            positional.append(argument);
        }
    }
    if (!keyFile.isEmpty() && positional.size() == 1)
        return writeSignature(keyFile, positional[0]) ? 0 : 1;
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
        if (!keyFile.isEmpty() && !writeSignature(keyFile, positional[1]))
            return 1;
        return 0;
    } catch (const tivra::PackageError &error) {
        print(stderr, QStringLiteral("tivra-pack: ") + error.message());
        return 1;
    }
}
