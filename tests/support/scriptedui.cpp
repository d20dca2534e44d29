#include "support/scriptedui.h"

#include <gtest/gtest.h>

namespace tivra::testsupport {

UserInterface::Button ScriptedUserInterface::messageBox(const MessageBox &box)
{
    Button answer = box.defaultButton;
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    } else if (!m_allowUnexpected) {
        ADD_FAILURE() << "unexpected message box \"" << box.caption.toStdString() << "\": "
                      << box.text.toStdString();
    }
    m_boxes.push_back({box, answer});
    return answer;
}

QString ScriptedUserInterface::nextChoice(const QString &title)
{
    m_chooserTitles.append(title);
    if (m_choices.empty()) {
        if (!m_allowUnexpected)
            ADD_FAILURE() << "unexpected chooser \"" << title.toStdString() << "\"";
        return {};
    }
    QString choice = m_choices.front();
    m_choices.pop_front();
    return choice;
}

QString ScriptedUserInterface::chooseFolder(const QString &title, const QString &)
{
    return nextChoice(title);
}

QString ScriptedUserInterface::chooseOpenFile(const QString &title, const QString &, const QString &)
{
    return nextChoice(title);
}

QString ScriptedUserInterface::chooseSaveFile(const QString &title, const QString &, const QString &)
{
    return nextChoice(title);
}

void ScriptedUserInterface::showText(const QString &title, const QString &text, bool, bool protectFromCopy)
{
    m_textWindows.append(title);
    m_textContents.append(text);
    m_textProtected.push_back(protectFromCopy);
}

std::unique_ptr<ProgressView> ScriptedUserInterface::createProgressView()
{
    auto view = std::make_unique<SilentProgressView>();
    m_lastProgress = view.get();
    return view;
}

void ScriptedUserInterface::showBusy(bool on)
{
    if (on && !m_busy)
        ++m_busyOn;
    m_busy = on;
}

}  // namespace tivra::testsupport
