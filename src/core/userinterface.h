// The one seam through which the core talks to the person in front of the installer.
//
// Every message box, chooser, text window, busy animation and event pump of the product goes
// through this interface. The GUI implements it with widgets; tests with a scripted
// implementation that records every box and answers from a queue; the unattended mode with one
// that writes each box to standard error and takes its default answer.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace tivra {

// The window of a progress dialog: a system animation, the status label, an optional progress
// bar, an optional "Cancelar" button and the elapsed-time label. Driven by TProgressForm.
class ProgressView {
public:
    enum class Animation { Copy, Find, Delete };

    virtual ~ProgressView() = default;
    virtual void setTitle(const QString &title) = 0;
    // Animation kind and whether it is centred; the dialog's size.
    virtual void setAnimation(Animation animation, bool centred) = 0;
    virtual void setSize(int width, int height) = 0;
    // Places the dialog at half the free width and height of the screen (rounded toward zero).
    virtual void centreOnScreen() = 0;
    virtual void setBarVisible(bool visible) = 0;
    virtual void setBarWidth(int width) = 0;
    virtual void setBarMaximum(int maximum) = 0;
    virtual void setBarPosition(int position) = 0;
    virtual int barPosition() const = 0;
    virtual void setCancelVisible(bool visible) = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void setElapsedText(const QString &text) = 0;
    // Shows the dialog, not modal: the animation starts, the elapsed label is cleared, the bar
    // goes to 0. close() stops the animation and sets the bar to 0.
    virtual void show() = 0;
    virtual void close() = 0;
    virtual void repaint() = 0;

    // Called by the view when the user pressed "Cancelar" (the view has closed itself).
    std::function<void()> onCancel;
};

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

    // A modal read-only text window (title, text; fixedFont for logs and scripts). A protected
    // window offers no context menu and empties the clipboard whenever the mouse moves over the
    // text, so that its content cannot be copied out (the package's scripts).
    virtual void showText(const QString &title, const QString &text, bool fixedFont, bool protectFromCopy) = 0;

    // Shows or hides the busy animation of the main window.
    virtual void showBusy(bool on) = 0;

    // Lets the window repaint and react while long work runs on the one thread.
    virtual void processEvents() = 0;

    // A new, hidden progress dialog window.
    virtual std::unique_ptr<ProgressView> createProgressView() = 0;

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
    void showText(const QString &title, const QString &text, bool fixedFont, bool protectFromCopy) override;
    void showBusy(bool on) override;
    void processEvents() override;
    std::unique_ptr<ProgressView> createProgressView() override;
};

// A progress dialog that shows nothing (unattended runs and tests); it keeps what it was told.
class SilentProgressView : public ProgressView {
public:
    void setTitle(const QString &t) override { title = t; }
    void setAnimation(Animation a, bool c) override { animation = a; centred = c; }
    void setSize(int w, int h) override { width = w; height = h; }
    void centreOnScreen() override { centredOnScreen = true; }
    void setBarVisible(bool v) override { barVisible = v; }
    void setBarWidth(int w) override { barWidth = w; }
    void setBarMaximum(int m) override { barMaximum = m; }
    void setBarPosition(int p) override { position = p; }
    int barPosition() const override { return position; }
    void setCancelVisible(bool v) override { cancelVisible = v; }
    void setStatusText(const QString &t) override { statusText = t; }
    void setElapsedText(const QString &t) override { elapsedText = t; }
    void show() override { visible = true; elapsedText.clear(); position = 0; }
    void close() override { visible = false; position = 0; }
    void repaint() override { ++repaints; }

    QString title, statusText, elapsedText;
    Animation animation = Animation::Copy;
    bool centred = false, centredOnScreen = false, barVisible = false, cancelVisible = false, visible = false;
    int width = 0, height = 0, barWidth = 0, barMaximum = 0, position = 0, repaints = 0;
};

}  // namespace tivra
