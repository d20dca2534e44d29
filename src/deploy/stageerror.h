// An error that a stage does not handle itself: it escapes the stage and ends the update run where
// it happens (the run shows its message in the program's standard error box).
#pragma once

#include <QString>

#include <stdexcept>

namespace tivra {

class StageError : public std::runtime_error {
public:
    explicit StageError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

}  // namespace tivra
