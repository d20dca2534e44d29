#include "gui/qtuserinterface.h"

#include "gui/textviewer.h"
#include "gui/tformprogresso.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tivra::gui {

namespace {
QMessageBox::Icon toQt(UserInterface::Icon icon)
{
    switch (icon) {
    case UserInterface::Icon::Information: return QMessageBox::Information;
    case UserInterface::Icon::Warning: return QMessageBox::Warning;
    case UserInterface::Icon::Error: return QMessageBox::Critical;
    case UserInterface::Icon::Question: return QMessageBox::Question;
    case UserInterface::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSpec {
    UserInterface::Button button;
    QMessageBox::StandardButton standard;
    const char *text;
};

const ButtonSpec kButtons[] = {
    {UserInterface::Yes, QMessageBox::Yes, "&Sim"},       {UserInterface::No, QMessageBox::No, "&Não"},
    {UserInterface::Ok, QMessageBox::Ok, "OK"},           {UserInterface::Cancel, QMessageBox::Cancel, "Cancelar"},
    {UserInterface::Abort, QMessageBox::Abort, "&Anular"}, {UserInterface::Retry, QMessageBox::Retry, "&Repetir"},
    {UserInterface::Ignore, QMessageBox::Ignore, "&Ignorar"},
};
// File dialog filters may come in the Windows form "description|mask|description|mask"
// ("Arquivos de Texto (*.txt) | *.txt"); the Qt dialogs want "description (mask);;...".
QString qtFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype at = 0; at + 1 < parts.size(); at += 2) {
        const QString description = parts[at].trimmed();
        const QString masks = parts[at + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(description.contains(QLatin1Char('(')) ? description
                                                              : description + QStringLiteral(" (") + masks + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}
}  // namespace

UserInterface::Button QtUserInterface::messageBox(const MessageBox &box)
{
    if (m_autoAnswer)
        return UnattendedUserInterface().messageBox(box);
    QMessageBox dialog(toQt(box.icon), box.caption, box.text, QMessageBox::NoButton, m_parent);
    for (const ButtonSpec &spec : kButtons) {
        if (box.buttons & spec.button) {
            QPushButton *button = dialog.addButton(spec.standard);
            button->setText(QString::fromUtf8(spec.text));
            if (spec.button == box.defaultButton)
                dialog.setDefaultButton(button);
        }
    }
    dialog.exec();
    const auto clicked = dialog.standardButton(dialog.clickedButton());
    for (const ButtonSpec &spec : kButtons) {
        if (spec.standard == clicked)
            return spec.button;
    }
    // Closed without a button: Windows answers Cancel, or No in a Yes/No box.
    if (box.buttons & Cancel)
        return Cancel;
    if (box.buttons & No)
        return No;
    return Ok;
}

QString QtUserInterface::chooseFolder(const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(m_parent, title, startFolder);
}

QString QtUserInterface::chooseOpenFile(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getOpenFileName(m_parent, title, startFolder, qtFilter(filter));
}

QString QtUserInterface::chooseSaveFile(const QString &title, const QString &filter, const QString &startFolder)
{
    return QFileDialog::getSaveFileName(m_parent, title, startFolder, qtFilter(filter));
}

void QtUserInterface::showText(const QString &title, const QString &text, bool fixedFont, bool protectFromCopy)
{
    if (m_autoAnswer)
        return;
    TextViewer viewer(title, text, fixedFont, m_parent);
    viewer.setProtectedFromCopy(protectFromCopy);
    viewer.exec();
}

void QtUserInterface::showBusy(bool on)
{
    if (m_busyHandler)
        m_busyHandler(on);
}

std::unique_ptr<ProgressView> QtUserInterface::createProgressView()
{
    // Owned by the caller, not by a parent window, so that it is deleted exactly once.
    return std::make_unique<TFormProgresso>(nullptr);
}

void QtUserInterface::processEvents()
{
    QApplication::processEvents();
}

}  // namespace tivra::gui
