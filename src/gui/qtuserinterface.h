// The widget implementation of the user-interface seam.
#pragma once

#include "core/userinterface.h"

#include <QPointer>
#include <QWidget>
#include <functional>

namespace tivra::gui {

class QtUserInterface : public UserInterface {
public:
    // parent: the window that owns the boxes (may change once the main window exists).
    void setParentWindow(QWidget *parent) { m_parent = parent; }
    // Called by showBusy so the main window can play or stop its animation.
    void setBusyHandler(std::function<void(bool)> handler) { m_busyHandler = std::move(handler); }
    // Answers every box with its default button after writing it to standard error, and opens
    // no modal window (screenshot walks of the wizard).
    void setAutoAnswer(bool on) { m_autoAnswer = on; }

    Button messageBox(const MessageBox &box) override;
    QString chooseFolder(const QString &title, const QString &startFolder) override;
    QString chooseOpenFile(const QString &title, const QString &filter, const QString &startFolder) override;
    QString chooseSaveFile(const QString &title, const QString &filter, const QString &startFolder) override;
    void showText(const QString &title, const QString &text, bool fixedFont, bool protectFromCopy) override;
    void showBusy(bool on) override;
    void processEvents() override;
    std::unique_ptr<ProgressView> createProgressView() override;

private:
    QPointer<QWidget> m_parent;
    std::function<void(bool)> m_busyHandler;
    bool m_autoAnswer = false;
};

}  // namespace tivra::gui
