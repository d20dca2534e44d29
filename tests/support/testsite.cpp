#include "support/testsite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tivra::testsupport {

TestSite::TestSite()
{
    // The COM+ stages of a test work on the file-backed stand-in, never on the machine's catalog
    // (on Windows the real one would be changed).
    qputenv("TIVRA_COMPLUS_STANDIN", "1");
    QDir(root()).mkpath(QStringLiteral("installer"));
    QDir(root()).mkpath(QStringLiteral("Sistema/AppTivra/Executaveis"));
}

QString TestSite::installerDirectory() const
{
    return root() + QStringLiteral("/installer/");
}

QString TestSite::appDirectory() const
{
    return root() + QStringLiteral("/Sistema/AppTivra");
}

QString TestSite::writeFile(const QString &relativeToRoot, const QByteArray &bytes) const
{
    const QString path = root() + QLatin1Char('/') + relativeToRoot;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

void TestSite::writeVersoesIni(const QByteArray &content) const
{
    writeFile(QStringLiteral("Sistema/AppTivra/Executaveis/Versoes.ini"), content);
}

}  // namespace tivra::testsupport
