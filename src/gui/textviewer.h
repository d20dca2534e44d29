// A modal read-only text window: the partial log ("Log Parcial de Atualização") and the scripts.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace tivra::gui {

class TextViewer : public QDialog {
    Q_OBJECT
public:
    TextViewer(const QString &title, const QString &text, bool fixedFont, QWidget *parent = nullptr);
    QPlainTextEdit *editor() const { return m_editor; }
    // No context menu, and every mouse movement over the text empties the clipboard.
    void setProtectedFromCopy(bool on);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_editor;
    bool m_protected = false;
};

}  // namespace tivra::gui
