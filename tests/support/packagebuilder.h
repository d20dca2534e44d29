// Update-package fixtures: archives built with the product's package writer from a list of
// members (name -> bytes) and folders, encrypted with the build's package password unless told
// otherwise.
#pragma once

#include "package/packagewriter.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace tivra::testsupport {

class PackageBuilder {
public:
    // Adds (or replaces) a member with the given bytes; "\" or "/" separate folders.
    PackageBuilder &add(const QString &member, const QByteArray &bytes);
    // Adds a text member as a Windows machine writes it: Windows-1252, every line end CR LF.
    PackageBuilder &addText(const QString &member, const QString &text);
    // Config.ini from its text (Windows-1252, CR LF).
    PackageBuilder &config(const QString &iniText) { return addText(QStringLiteral("Config.ini"), iniText); }
    // Adds every file under the folder, named relative to it, below the prefix (may be empty).
    PackageBuilder &addFolder(const QString &folder, const QString &prefix = {});
    PackageBuilder &directory(const QString &member);

    PackageBuilder &encryption(PackageEncryption value);
    PackageBuilder &password(const QString &value);

    // Writes the archive; returns its path. Fails the test (ADD_FAILURE) on error.
    QString write(const QString &path) const;
    // Writes <installerDirectory>/Update.pack.
    QString writeUpdatePack(const QString &installerDirectory) const;

private:
    std::vector<std::pair<QString, QByteArray>> m_members;
    std::vector<QString> m_directories;
    PackageEncryption m_encryption = PackageEncryption::Aes256;
    QString m_password;
    bool m_passwordSet = false;
};

// Text with every line end made CR LF and encoded in Windows-1252.
QByteArray windowsText(const QString &text);

}  // namespace tivra::testsupport
