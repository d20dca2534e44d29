#include "gui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tivra::gui {

namespace {
const QColor kBrand(0, 84, 147);
const QColor kAccent(242, 153, 0);

void drawRoundBadge(QPainter &p, const QRectF &r, const QColor &color)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, color.lighter(130));
    g.setColorAt(1, color.darker(115));
    p.setBrush(g);
    p.setPen(QPen(color.darker(140), r.width() / 24.0));
    p.drawEllipse(r);
}

void drawCheck(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.27, r.top() + r.height() * 0.52);
    path.lineTo(r.left() + r.width() * 0.44, r.top() + r.height() * 0.69);
    path.lineTo(r.left() + r.width() * 0.74, r.top() + r.height() * 0.33);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, r.width() * 0.13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

void drawCross(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(Qt::white, r.width() * 0.13, Qt::SolidLine, Qt::RoundCap));
    const double a = 0.32, b = 0.68;
    p.drawLine(QPointF(r.left() + r.width() * a, r.top() + r.height() * a),
               QPointF(r.left() + r.width() * b, r.top() + r.height() * b));
    p.drawLine(QPointF(r.left() + r.width() * b, r.top() + r.height() * a),
               QPointF(r.left() + r.width() * a, r.top() + r.height() * b));
}

void drawLogo(QPainter &p, const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kBrand.lighter(125));
    g.setColorAt(1, kBrand.darker(120));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), r.width() * 0.18, r.width() * 0.18);
    QFont f;
    f.setBold(true);
    f.setPixelSize(int(r.height() * 0.62));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r.adjusted(0, 0, -r.width() * 0.12, 0), Qt::AlignCenter, QStringLiteral("T"));
    f.setPixelSize(int(r.height() * 0.42));
    p.setFont(f);
    p.setPen(kAccent);
    p.drawText(r.adjusted(r.width() * 0.45, -r.height() * 0.08, 0, 0), Qt::AlignCenter, QStringLiteral("*"));
}

void drawPackage(QPainter &p, const QRectF &r)
{
    const QRectF box = r.adjusted(r.width() * 0.12, r.height() * 0.25, -r.width() * 0.12, -r.height() * 0.1);
    p.setPen(QPen(QColor(120, 80, 30), r.width() / 28.0));
    p.setBrush(QColor(214, 166, 96));
    p.drawRect(box);
    QPolygonF lid;
    lid << QPointF(box.left(), box.top()) << QPointF(box.left() + box.width() * 0.15, r.top() + r.height() * 0.1)
        << QPointF(box.right() - box.width() * 0.15, r.top() + r.height() * 0.1) << QPointF(box.right(), box.top());
    p.setBrush(QColor(232, 190, 124));
    p.drawPolygon(lid);
    p.setBrush(kBrand);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(box.center().x() - box.width() * 0.08, box.top(), box.width() * 0.16, box.height()));
}

void drawWarning(QPainter &p, const QRectF &r)
{
    QPolygonF tri;
    tri << QPointF(r.center().x(), r.top() + r.height() * 0.06) << QPointF(r.right() - r.width() * 0.04, r.bottom() - r.height() * 0.08)
        << QPointF(r.left() + r.width() * 0.04, r.bottom() - r.height() * 0.08);
    p.setBrush(QColor(250, 200, 30));
    p.setPen(QPen(QColor(150, 110, 0), r.width() / 24.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(tri);
    p.setPen(QPen(Qt::black, r.width() * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * 0.36), QPointF(r.center().x(), r.top() + r.height() * 0.64));
    p.drawPoint(QPointF(r.center().x(), r.top() + r.height() * 0.79));
}

void drawNeutral(QPainter &p, const QRectF &r)
{
    drawRoundBadge(p, r.adjusted(r.width() * 0.1, r.height() * 0.1, -r.width() * 0.1, -r.height() * 0.1), QColor(150, 160, 175));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const double d = r.width() * 0.12;
    for (int i = -1; i <= 1; ++i)
        p.drawEllipse(QPointF(r.center().x() + i * r.width() * 0.2, r.center().y()), d / 1.4, d / 1.4);
}

void drawIgnored(QPainter &p, const QRectF &r)
{
    drawRoundBadge(p, r.adjusted(r.width() * 0.06, r.height() * 0.06, -r.width() * 0.06, -r.height() * 0.06), QColor(70, 130, 200));
    p.setPen(QPen(Qt::white, r.width() * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.3);
    path.lineTo(r.left() + r.width() * 0.5, r.center().y());
    path.lineTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.7);
    path.moveTo(r.left() + r.width() * 0.52, r.top() + r.height() * 0.3);
    path.lineTo(r.left() + r.width() * 0.72, r.center().y());
    path.lineTo(r.left() + r.width() * 0.52, r.top() + r.height() * 0.7);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void drawBanner(QPainter &p, const QRectF &r)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kBrand.lighter(140));
    g.setColorAt(1, kBrand.darker(150));
    p.fillRect(r, g);
    const double s = r.width() * 0.6;
    drawLogo(p, QRectF(r.center().x() - s / 2, r.top() + r.height() * 0.12, s, s));
    p.setPen(QColor(255, 255, 255, 40));
    for (int i = 0; i < 8; ++i)
        p.drawLine(QPointF(r.left(), r.bottom() - i * r.height() * 0.06), QPointF(r.right(), r.bottom() - i * r.height() * 0.09 - r.height() * 0.1));
}
}  // namespace

QPixmap picture(Picture which, int size)
{
    const QSize dims = which == Picture::IntroBanner ? QSize(size, size * 2) : QSize(size, size);
    QPixmap pixmap(dims);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, dims.width(), dims.height());
    switch (which) {
    case Picture::Logo: drawLogo(p, r); break;
    case Picture::Package: drawPackage(p, r); break;
    case Picture::Success:
        drawRoundBadge(p, r.adjusted(2, 2, -2, -2), QColor(40, 160, 60));
        drawCheck(p, r);
        break;
    case Picture::Warning: drawWarning(p, r); break;
    case Picture::Error:
        drawRoundBadge(p, r.adjusted(2, 2, -2, -2), QColor(205, 40, 40));
        drawCross(p, r);
        break;
    case Picture::IntroBanner: drawBanner(p, r); break;
    }
    return pixmap;
}

QPixmap statusPicture(int imageCode, int size)
{
    // The grids ask for these on every paint: keep the common size ready.
    static QPixmap cache[4];
    const bool cached = size == 16 && imageCode >= 0 && imageCode <= 3;
    if (cached && !cache[imageCode].isNull())
        return cache[imageCode];
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size, size);
    switch (imageCode) {
    case 1:
        drawRoundBadge(p, r.adjusted(1, 1, -1, -1), QColor(40, 160, 60));
        drawCheck(p, r);
        break;
    case 2:
        drawRoundBadge(p, r.adjusted(1, 1, -1, -1), QColor(205, 40, 40));
        drawCross(p, r);
        break;
    case 3: drawIgnored(p, r); break;
    default: drawNeutral(p, r); break;
    }
    p.end();
    if (cached)
        cache[imageCode] = pixmap;
    return pixmap;
}

}  // namespace tivra::gui
