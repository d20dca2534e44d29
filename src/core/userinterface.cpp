#include "core/userinterface.h"

#include "core/progress.h"

#include <QCoreApplication>
#include <cstdio>

namespace tivra {

UserInterface::Button UserInterface::information(const QString &caption, const QString &text)
{
    return messageBox({caption, text, Icon::Information, Ok, Ok});
}

UserInterface::Button UserInterface::warning(const QString &caption, const QString &text)
{
    return messageBox({caption, text, Icon::Warning, Ok, Ok});
}

UserInterface::Button UserInterface::error(const QString &caption, const QString &text)
{
    return messageBox({caption, text, Icon::Error, Ok, Ok});
}

UserInterface::Button UserInterface::question(const QString &caption, const QString &text)
{
    return messageBox({caption, text, Icon::Question, Yes | No, Yes});
}

QString buttonName(UserInterface::Button button)
{
    switch (button) {
    case UserInterface::Ok: return QStringLiteral("Ok");
    case UserInterface::Cancel: return QStringLiteral("Cancel");
    case UserInterface::Yes: return QStringLiteral("Yes");
    case UserInterface::No: return QStringLiteral("No");
    case UserInterface::Abort: return QStringLiteral("Abort");
    case UserInterface::Retry: return QStringLiteral("Retry");
    case UserInterface::Ignore: return QStringLiteral("Ignore");
    case UserInterface::NoButton: break;
    }
    return QStringLiteral("None");
}

UserInterface::Button UnattendedUserInterface::messageBox(const MessageBox &box)
{
    // A progress line on the terminal would run into the text.
    TerminalProgressLine::clearShownLine();
    const QByteArray line = (box.caption + QStringLiteral(": ") + box.text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    return box.defaultButton;
}

QString UnattendedUserInterface::chooseFolder(const QString &, const QString &) { return {}; }
QString UnattendedUserInterface::chooseOpenFile(const QString &, const QString &, const QString &) { return {}; }
QString UnattendedUserInterface::chooseSaveFile(const QString &, const QString &, const QString &) { return {}; }
void UnattendedUserInterface::showText(const QString &, const QString &, bool, bool) {}
void UnattendedUserInterface::showBusy(bool) {}

std::unique_ptr<ProgressView> UnattendedUserInterface::createProgressView()
{
    return std::make_unique<SilentProgressView>();
}

void UnattendedUserInterface::processEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

}  // namespace tivra
