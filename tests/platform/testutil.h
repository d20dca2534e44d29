// Small helpers shared by the platform tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tivra::platform::test {

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Permission checks do not apply to the superuser.
inline bool runningAsRoot()
{
#ifdef _WIN32
    return true;  // the Windows tests run as an administrator, whom permission bits do not stop
#else
    return geteuid() == 0;
#endif
}

// Sets an environment variable for the lifetime of the object, then restores it.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentOverride()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

}  // namespace tivra::platform::test
