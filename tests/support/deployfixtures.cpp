#include "support/deployfixtures.h"

#include "support/pewriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tivra::testsupport {

namespace {

void makeParent(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
}

}  // namespace

QString writeVersionedFile(const QString &path, quint16 a, quint16 b, quint16 c, quint16 d)
{
    makeParent(path);
    writePeFile(path, PeVersion{a, b, c, d});
    return path;
}

QString writeDatedFile(const QString &path, const QByteArray &bytes, const QDate &day)
{
    makeParent(path);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.flush();  // a later write would set the time again
        file.setFileTime(QDateTime(day, QTime(12, 0)), QFileDevice::FileModificationTime);
    }
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace tivra::testsupport
