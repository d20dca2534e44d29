#include "remote/signature.h"

#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <memory>

namespace tivra::remote {

namespace {
struct PkeyDeleter {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX *ctx) const { EVP_MD_CTX_free(ctx); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDeleter>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxDeleter>;

bool readWholeFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}
}  // namespace

bool verifyEd25519(const QByteArray &publicKey, const QByteArray &data, const QByteArray &signature)
{
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                         reinterpret_cast<const unsigned char *>(publicKey.constData()), 32));
    MdCtx ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char *>(data.constData()),
                            size_t(data.size())) == 1;
}

QByteArray signFileEd25519(const QString &privateKeyPemPath, const QString &filePath, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QByteArray();
    };
    QByteArray pem;
    if (!readWholeFile(privateKeyPemPath, &pem))
        return fail(QStringLiteral("Não foi possível ler a chave \"%1\".").arg(privateKeyPemPath));
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), &BIO_free);
    Pkey key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return fail(QStringLiteral("A chave \"%1\" não é uma chave privada Ed25519 em PEM.").arg(privateKeyPemPath));
    QByteArray data;
    if (!readWholeFile(filePath, &data))
        return fail(QStringLiteral("Não foi possível ler \"%1\".").arg(filePath));
    MdCtx ctx(EVP_MD_CTX_new());
    QByteArray signature(64, '\0');
    size_t length = size_t(signature.size());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
                          reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size())) != 1
        || length != 64)
        return fail(QStringLiteral("Não foi possível assinar \"%1\".").arg(filePath));
    return signature;
}

namespace {
std::optional<QByteArray> fetchSignature(const QString &signatureUrl, const HttpOptions &options)
{
    HttpOptions bounded = options;
    bounded.maxBodyBytes = 4096;  // a signature is 64 bytes
    const HttpResult fetched = httpGet(signatureUrl, bounded);
    if (!fetched.ok() || fetched.body.isEmpty())
        return std::nullopt;
    return fetched.body;
}
}  // namespace

SignatureOutcome checkDownloadedSignature(const QByteArray &publicKey, const QString &filePath,
                                          const QString &signatureUrl, const HttpOptions &options)
{
    if (publicKey.isEmpty())
        return SignatureOutcome::NotRequired;
    const std::optional<QByteArray> signature = fetchSignature(signatureUrl, options);
    if (!signature)
        return SignatureOutcome::Missing;
    QByteArray data;
    if (!readWholeFile(filePath, &data))
        return SignatureOutcome::Invalid;
    return verifyEd25519(publicKey, data, *signature) ? SignatureOutcome::Valid : SignatureOutcome::Invalid;
}

SignatureOutcome checkFetchedSignature(const QByteArray &publicKey, const QByteArray &data, const QString &signatureUrl,
                                       const HttpOptions &options)
{
    if (publicKey.isEmpty())
        return SignatureOutcome::NotRequired;
    const std::optional<QByteArray> signature = fetchSignature(signatureUrl, options);
    if (!signature)
        return SignatureOutcome::Missing;
    return verifyEd25519(publicKey, data, *signature) ? SignatureOutcome::Valid : SignatureOutcome::Invalid;
}

SignatureOutcome checkLocalSignature(const QByteArray &publicKey, const QString &filePath, const QString &signaturePath)
{
    if (publicKey.isEmpty())
        return SignatureOutcome::NotRequired;
    QFile signatureFile(signaturePath);
    if (!signatureFile.open(QIODevice::ReadOnly))
        return SignatureOutcome::Missing;
    const QByteArray signature = signatureFile.read(4096);  // a signature is 64 bytes
    if (signature.isEmpty())
        return SignatureOutcome::Missing;
    QByteArray data;
    if (!readWholeFile(filePath, &data))
        return SignatureOutcome::Invalid;
    return verifyEd25519(publicKey, data, signature) ? SignatureOutcome::Valid : SignatureOutcome::Invalid;
}

QString localSignatureRefusalText(SignatureOutcome outcome, const QString &sourcePath)
{
    const QString file = QStringLiteral("O pacote \"") + QDir::toNativeSeparators(sourcePath) + QStringLiteral("\"");
    switch (outcome) {
    case SignatureOutcome::Missing:
        return file + QStringLiteral(" não tem assinatura (o arquivo \"") + QFileInfo(sourcePath).fileName()
               + QStringLiteral(".sig\" ao lado dele) e foi recusado. O pacote atual do instalador foi mantido.");
    case SignatureOutcome::Invalid:
        return file + QStringLiteral(" tem assinatura inválida (arquivo alterado ou corrompido) e foi recusado. O pacote "
                                     "atual do instalador foi mantido.");
    case SignatureOutcome::NotRequired:
    case SignatureOutcome::Valid: break;
    }
    return {};
}

QString signatureRefusalText(SignatureOutcome outcome, const QString &what)
{
    switch (outcome) {
    case SignatureOutcome::Missing:
        return what + QStringLiteral(" baixado não tem assinatura publicada e foi recusado. Nada foi alterado.");
    case SignatureOutcome::Invalid:
        return what + QStringLiteral(" baixado tem assinatura inválida (arquivo alterado ou corrompido) e foi "
                                     "recusado. Nada foi alterado.");
    case SignatureOutcome::NotRequired:
    case SignatureOutcome::Valid:
        break;
    }
    return {};
}

}  // namespace tivra::remote
