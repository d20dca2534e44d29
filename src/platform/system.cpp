#include "platform/system.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

#include <optional>

namespace tivra::platform {

namespace {

struct ArgumentsOverride {
    QMutex mutex;
    std::optional<QStringList> arguments;
};

ArgumentsOverride &argumentsOverride()
{
    static ArgumentsOverride instance;
    return instance;
}

}  // namespace

QStringList commandLineArguments()
{
    ArgumentsOverride &state = argumentsOverride();
    {
        QMutexLocker lock(&state.mutex);
        if (state.arguments)
            return *state.arguments;
    }
    if (!QCoreApplication::instance())
        return {};
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();  // the program name
    return arguments;
}

void setCommandLineArguments(const QStringList &arguments)
{
    ArgumentsOverride &state = argumentsOverride();
    QMutexLocker lock(&state.mutex);
    state.arguments = arguments;
}

void resetCommandLineArguments()
{
    ArgumentsOverride &state = argumentsOverride();
    QMutexLocker lock(&state.mutex);
    state.arguments.reset();
}

bool ExistParametro(const QString &switchText)
{
    return commandLineArguments().contains(switchText, Qt::CaseSensitive);
}

}  // namespace tivra::platform
