// Settings fixed when the installer is built: the package password, the credential keys, the
// maker's addresses, the user-list token and the support master password. They are compiled in
// and never read from files at run time; code receives them as one object so that tests can point
// it at a local server.
#pragma once

#include <QByteArray>
#include <QString>

namespace tivra {

struct BuildSettings {
    QString packagePassword;         // 10 printable ASCII characters
    QByteArray credentialKeyUser;    // 55 bytes
    QByteArray credentialKeyPassword;  // 55 bytes
    QString makerSite;               // maker's web site address
    QString packageRepository;       // package repository base address, ends in "/"
    QString userListToken;           // 4 lower-case letters
    QString sacMasterPassword;       // 11 upper-case letters and digits; empty: none is accepted
    // Ed25519 public key (32 bytes) that downloaded packages and installers must carry a valid
    // detached signature of; empty: no signature is asked for.
    QByteArray signingPublicKey;

    // The values this build was configured with.
    static const BuildSettings &compiled();
};

}  // namespace tivra
