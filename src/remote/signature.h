// Detached Ed25519 signatures of downloaded packages and installers (OpenSSL). Opt-in: only a
// build with a public key asks for them; the signature file beside a published file holds the 64
// signature bytes of the whole file.
#pragma once

#include "remote/httpclient.h"

#include <QByteArray>
#include <QString>

namespace tivra::remote {

// Whether the signature (64 bytes) is a valid Ed25519 signature of data under the public key
// (32 bytes). False for keys or signatures of another length.
bool verifyEd25519(const QByteArray &publicKey, const QByteArray &data, const QByteArray &signature);

// Signs the file's bytes with the Ed25519 private key of a PEM file (as written by
// "openssl genpkey -algorithm ed25519"). Empty with the reason in error on failure.
QByteArray signFileEd25519(const QString &privateKeyPemPath, const QString &filePath, QString *error);

enum class SignatureOutcome {
    NotRequired,  // the build has no public key
    Valid,
    Missing,      // no signature is published beside the file
    Invalid,      // a signature that does not match the file (or the file cannot be read)
};

// With a public key: fetches signatureUrl and checks it against the file. Without one:
// NotRequired, nothing is fetched.
SignatureOutcome checkDownloadedSignature(const QByteArray &publicKey, const QString &filePath,
                                          const QString &signatureUrl, const HttpOptions &options = {});
// The same for bytes already in memory (a fetched text).
SignatureOutcome checkFetchedSignature(const QByteArray &publicKey, const QByteArray &data, const QString &signatureUrl,
                                       const HttpOptions &options = {});

// With a public key: checks a file on disk against the detached signature beside it (its path +
// ".sig", as the maker publishes it), or against the one named. Without one: NotRequired.
SignatureOutcome checkLocalSignature(const QByteArray &publicKey, const QString &filePath, const QString &signaturePath);

// The text shown when a package taken from disk (an import, a local copy) is refused for its
// signature (empty for the outcomes that accept it).
QString localSignatureRefusalText(SignatureOutcome outcome, const QString &sourcePath);

// The text shown when a downloaded file is refused for its signature (empty for the outcomes
// that accept it). what names the file for the person ("O pacote", "O instalador").
QString signatureRefusalText(SignatureOutcome outcome, const QString &what);

}  // namespace tivra::remote
