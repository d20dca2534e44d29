#include "app/progressform.h"

#include "core/clock.h"

namespace tivra {

QString elapsedText(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(0, milliseconds / 1000);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

TProgressForm::TProgressForm(UserInterface &ui, QObject *parent) : QObject(parent), m_ui(ui), m_view(ui.createProgressView())
{
    m_view->onCancel = [this] { cancel(); };
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &TProgressForm::tick);
}

TProgressForm::~TProgressForm()
{
    m_timer.stop();
    if (m_shown)
        m_view->close();
}

void TProgressForm::setTitulo(const QString &titulo)
{
    m_titulo = titulo;
    m_view->setTitle(titulo);
}

void TProgressForm::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    if (!shown) {
        m_timer.stop();
        m_view->close();
        m_shown = false;
        return;
    }
    // 1.
    m_timer.start();
    m_cancelled = false;
    m_view->setBarMaximum(MaxProgresso);
    // 2.
    switch (TipoProgresso) {
    case tpCopiar:
        m_view->setAnimation(ProgressView::Animation::Copy, true);
        m_view->setSize(355, 153);
        break;
    case tpLocalizar:
        m_view->setAnimation(ProgressView::Animation::Find, false);
        m_view->setSize(112, 112);
        break;
    case tpExcluir:
        m_view->setAnimation(ProgressView::Animation::Delete, true);
        m_view->setSize(355, 153);
        break;
    }
    // 3-4.
    m_start = currentDateTime();
    m_view->centreOnScreen();
    // 5.
    m_view->setBarVisible(MostraProgresso);
    m_view->setCancelVisible(MostraCancelar);
    m_view->setBarWidth(MostraCancelar ? 240 : 328);
    // 6.
    m_view->show();
    m_shown = true;
    m_ui.processEvents();
}

void TProgressForm::setProgress(int position)
{
    m_view->setBarPosition(position);
}

void TProgressForm::setStatus(const QString &text)
{
    m_view->setStatusText(text);
}

void TProgressForm::tick()
{
    if (!m_shown)
        return;
    if (!MostraProgresso && TipoProgresso != tpLocalizar) {
        m_view->setElapsedText(QStringLiteral("Tempo Decorrido: ") + elapsedText(m_start.msecsTo(currentDateTime())));
        if (ProgressAutomatico) {
            m_view->setBarVisible(true);
            if (m_view->barPosition() >= MaxProgresso)
                m_view->setBarPosition(0);
            m_view->setBarPosition(m_view->barPosition() + 5);
        }
    }
    m_view->repaint();
    m_ui.processEvents();
}

void TProgressForm::cancel()
{
    m_cancelled = true;
    m_shown = false;
    m_view->close();
    m_timer.stop();
    if (OnCancelar)
        OnCancelar(this);
}

}  // namespace tivra
