// Temporary installer sites for tests: an installer folder and an application directory in a
// temporary folder that disappears with the object.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace tivra::testsupport {

class TestSite {
public:
    TestSite();

    bool valid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    // <root>/installer/ (with a trailing separator)
    QString installerDirectory() const;
    // <root>/Sistema/AppTivra
    QString appDirectory() const;

    // Writes a file (creating folders) with the given bytes; returns its full path.
    QString writeFile(const QString &relativeToRoot, const QByteArray &bytes) const;
    // Writes Executaveis/Versoes.ini in the application directory.
    void writeVersoesIni(const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};

}  // namespace tivra::testsupport
