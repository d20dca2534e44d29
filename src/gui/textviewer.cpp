#include "gui/textviewer.h"

#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace tivra::gui {

TextViewer::TextViewer(const QString &title, const QString &text, bool fixedFont, QWidget *parent)
    : QDialog(parent), m_editor(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("TextViewer"));
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(648, 480);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_editor);
    m_editor->setReadOnly(true);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    if (fixedFont) {
        QFont font(QStringLiteral("Courier New"));
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        if (!QFontInfo(font).fixedPitch())
            font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        m_editor->setFont(font);
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_editor->setPlainText(shown);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TextViewer::setProtectedFromCopy(bool on)
{
    m_protected = on;
    m_editor->setContextMenuPolicy(on ? Qt::PreventContextMenu : Qt::DefaultContextMenu);
    m_editor->viewport()->setMouseTracking(on);
    if (on)
        m_editor->viewport()->installEventFilter(this);
    else
        m_editor->viewport()->removeEventFilter(this);
}

bool TextViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (m_protected && watched == m_editor->viewport() && event->type() == QEvent::MouseMove) {
        if (QClipboard *clipboard = QGuiApplication::clipboard())
            clipboard->clear();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tivra::gui
