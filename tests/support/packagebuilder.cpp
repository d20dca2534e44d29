#include "support/packagebuilder.h"

#include "core/buildsettings.h"
#include "package/packagearchive.h"
#include "platform/textfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace tivra::testsupport {

QByteArray windowsText(const QString &text)
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlf.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return platform::toWindows1252(crlf);
}

PackageBuilder &PackageBuilder::add(const QString &member, const QByteArray &bytes)
{
    for (auto &entry : m_members) {
        if (entry.first == member) {
            entry.second = bytes;
            return *this;
        }
    }
    m_members.emplace_back(member, bytes);
    return *this;
}

PackageBuilder &PackageBuilder::addText(const QString &member, const QString &text)
{
    return add(member, windowsText(text));
}

PackageBuilder &PackageBuilder::addFolder(const QString &folder, const QString &prefix)
{
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << path.toStdString();
            continue;
        }
        const QString relative = root.relativeFilePath(path);
        add(prefix.isEmpty() ? relative : prefix + QLatin1Char('/') + relative, file.readAll());
    }
    return *this;
}

PackageBuilder &PackageBuilder::directory(const QString &member)
{
    m_directories.push_back(member);
    return *this;
}

PackageBuilder &PackageBuilder::encryption(PackageEncryption value)
{
    m_encryption = value;
    return *this;
}

PackageBuilder &PackageBuilder::password(const QString &value)
{
    m_password = value;
    m_passwordSet = true;
    return *this;
}

QString PackageBuilder::write(const QString &path) const
{
    try {
        PackageWriter writer(path, m_passwordSet ? m_password : BuildSettings::compiled().packagePassword,
                             m_encryption);
        for (const QString &directory : m_directories)
            writer.addDirectory(directory);
        for (const auto &[member, bytes] : m_members)
            writer.addBytes(member, bytes);
        writer.commit();
    } catch (const PackageError &error) {
        ADD_FAILURE() << "cannot write package " << path.toStdString() << ": " << error.message().toStdString();
    }
    return path;
}

QString PackageBuilder::writeUpdatePack(const QString &installerDirectory) const
{
    return write(QDir(installerDirectory).filePath(QStringLiteral("Update.pack")));
}

}  // namespace tivra::testsupport
