// The one seam through which the core talks to the person in front of the installer.
//
// Every message box, chooser, text window, busy animation and event pump of the product goes
// through this interface. The GUI implements it with widgets; tests with a scripted
// implementation that records every box and answers from a queue; the unattended mode with one
// that writes each box to standard error and takes its default answer.
#pragma once

#include <QString>
#include <QStringList>

namespace tivra {

class UserInterface {
public:
    enum class Icon { None, Information, Warning, Error, Question };

    // Buttons of a message box (combinable) and the answer it returns.
    enum Button : int {
        NoButton = 0,
        Ok = 0x1,
        Cancel = 0x2,
        Yes = 0x4,
        No = 0x8,
        Abort = 0x10,
        Retry = 0x20,
        Ignore = 0x40,
    };
    using Buttons = int;

    struct MessageBox {
        QString caption;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Ok;
        Button defaultButton = Ok;  // the answer taken when nobody is there to answer
    };

    virtual ~UserInterface() = default;

    // Shows a modal message box; returns the button pressed.
    virtual Button messageBox(const MessageBox &box) = 0;

    // Folder chooser with a title; returns the chosen folder or empty text when cancelled.
    virtual QString chooseFolder(const QString &title, const QString &startFolder) = 0;
    // Open and save file dialogs with a filter ("Pacotes (*.pack)"); empty text when cancelled.
    virtual QString chooseOpenFile(const QString &title, const QString &filter, const QString &startFolder) = 0;
    virtual QString chooseSaveFile(const QString &title, const QString &filter, const QString &startFolder) = 0;

    // A modal read-only text window (title, text; fixedFont for logs and scripts).
    virtual void showText(const QString &title, const QString &text, bool fixedFont) = 0;

    // Shows or hides the busy animation of the main window.
    virtual void showBusy(bool on) = 0;

    // Lets the window repaint and react while long work runs on the one thread.
    virtual void processEvents() = 0;

    // Convenience for the common boxes.
    Button information(const QString &caption, const QString &text);
    Button warning(const QString &caption, const QString &text);
    Button error(const QString &caption, const QString &text);
    // Yes/No question; default answer Yes.
    Button question(const QString &caption, const QString &text);
};

// Names used when a box is written as text ("Yes", "No"...).
QString buttonName(UserInterface::Button button);

// The unattended implementation: writes "caption: text" to standard error, answers every box
// with its default button, chooses nothing and shows no window.
class UnattendedUserInterface : public UserInterface {
public:
    Button messageBox(const MessageBox &box) override;
    QString chooseFolder(const QString &title, const QString &startFolder) override;
    QString chooseOpenFile(const QString &title, const QString &filter, const QString &startFolder) override;
    QString chooseSaveFile(const QString &title, const QString &filter, const QString &startFolder) override;
    void showText(const QString &title, const QString &text, bool fixedFont) override;
    void showBusy(bool on) override;
    void processEvents() override;
};

}  // namespace tivra
