// A fresh Ed25519 signing key for the tests of signed builds.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <openssl/evp.h>
#include <openssl/pem.h>

// A fresh Ed25519 key: the PEM private key written to a file, the raw public key returned.
inline QByteArray makeKey(const QString &pemPath)
{
    EVP_PKEY *key = nullptr;
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY_keygen_init(ctx);
    EVP_PKEY_keygen(ctx, &key);
    EVP_PKEY_CTX_free(ctx);
    QByteArray publicKey(32, '\0');
    size_t length = 32;
    EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char *>(publicKey.data()), &length);
    BIO *bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QFile file(pemPath);
    if (file.open(QIODevice::WriteOnly))
        file.write(data, size);
    BIO_free(bio);
    EVP_PKEY_free(key);
    return publicKey;
}
