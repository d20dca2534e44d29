#include "gui/busyanimation.h"

#include <QPainter>

namespace tivra::gui {

BusyAnimation::BusyAnimation(QWidget *parent) : QWidget(parent)
{
    setFixedSize(55, 55);
    m_timer.setInterval(60);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

void BusyAnimation::start()
{
    m_timer.start();
    update();
}

void BusyAnimation::stop()
{
    m_timer.stop();
}

void BusyAnimation::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(width() / 2.0, height() / 2.0);
    for (int i = 0; i < 12; ++i) {
        const int alpha = 40 + (215 * ((i * 30 + 360 - m_angle) % 360)) / 360;
        p.save();
        p.translate(c);
        p.rotate(i * 30.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 84, 147, 255 - alpha + 40 > 255 ? 255 : 255 - alpha + 40));
        p.drawRoundedRect(QRectF(-2.5, -24, 5, 11), 2.5, 2.5);
        p.restore();
    }
}

}  // namespace tivra::gui
