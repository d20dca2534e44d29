// Scripted user interface for tests: records every box and answers from a queue. A box that
// arrives when no answer is queued fails the test (unless the test allows unexpected boxes, which
// are then answered with their default button).
#pragma once

#include "core/userinterface.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace tivra::testsupport {

class ScriptedUserInterface : public UserInterface {
public:
    struct Shown {
        MessageBox box;
        Button answer;
    };

    // Queues the answer of the next box.
    void answerNext(Button answer) { m_answers.push_back(answer); }
    // Queues folder or file choices (empty text = cancelled).
    void chooseNext(const QString &path) { m_choices.push_back(path); }
    // Answers boxes without a queued answer with their default button instead of failing.
    void allowUnexpected(bool allow) { m_allowUnexpected = allow; }

    const std::vector<Shown> &boxes() const { return m_boxes; }
    void clearBoxes() { m_boxes.clear(); }
    const QStringList &textWindows() const { return m_textWindows; }
    int busyOn() const { return m_busyOn; }
    bool busy() const { return m_busy; }
    int pumps() const { return m_pumps; }
    const QStringList &chooserTitles() const { return m_chooserTitles; }

    Button messageBox(const MessageBox &box) override;
    QString chooseFolder(const QString &title, const QString &startFolder) override;
    QString chooseOpenFile(const QString &title, const QString &filter, const QString &startFolder) override;
    QString chooseSaveFile(const QString &title, const QString &filter, const QString &startFolder) override;
    void showText(const QString &title, const QString &text, bool fixedFont, bool protectFromCopy) override;
    const QStringList &textContents() const { return m_textContents; }
    const std::vector<bool> &textProtected() const { return m_textProtected; }
    void showBusy(bool on) override;
    void processEvents() override
    {
        ++m_pumps;
        if (onProcessEvents)
            onProcessEvents();
    }
    // Called at every event pump (tests look at the window state while a stage runs).
    std::function<void()> onProcessEvents;
    // Progress dialogs are silent views; the last one made stays reachable for checks.
    std::unique_ptr<ProgressView> createProgressView() override;
    SilentProgressView *lastProgressView() const { return m_lastProgress; }

private:
    QString nextChoice(const QString &title);

    std::deque<Button> m_answers;
    std::deque<QString> m_choices;
    std::vector<Shown> m_boxes;
    QStringList m_textWindows;
    QStringList m_textContents;
    std::vector<bool> m_textProtected;
    QStringList m_chooserTitles;
    SilentProgressView *m_lastProgress = nullptr;
    bool m_allowUnexpected = false;
    bool m_busy = false;
    int m_busyOn = 0;
    int m_pumps = 0;
};

}  // namespace tivra::testsupport
