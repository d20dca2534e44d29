#include "gui/tformprogresso.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tivra::gui {

// The animation strip: a sheet moving from one folder to another (copy), a magnifier sweeping
// (find), a sheet falling into a bin (delete).
class ProgressAnimation : public QWidget {
public:
    explicit ProgressAnimation(QWidget *parent) : QWidget(parent)
    {
        setFixedHeight(50);
        m_timer.setInterval(80);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_frame = (m_frame + 1) % 24;
            update();
        });
    }
    void setKind(ProgressView::Animation kind, bool centred)
    {
        m_kind = kind;
        m_centred = centred;
        update();
    }
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const int w = 272;
        const int x0 = m_centred ? (width() - w) / 2 : 4;
        const QColor folder(232, 190, 80), sheet(250, 250, 250), line(90, 90, 90);
        const auto drawFolder = [&](int x) {
            p.setPen(line);
            p.setBrush(folder);
            p.drawRect(x, 14, 40, 28);
        };
        const double t = m_frame / 23.0;
        switch (m_kind) {
        case ProgressView::Animation::Copy:
            drawFolder(x0);
            drawFolder(x0 + w - 40);
            p.setBrush(sheet);
            p.drawRect(QRectF(x0 + 40 + t * (w - 100), 6 + 12 * std::abs(t - 0.5), 18, 24));
            break;
        case ProgressView::Animation::Find:
            p.setPen(QPen(line, 3));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(x0 + 20 + 60 * t, 22), 12, 12);
            p.drawLine(QPointF(x0 + 29 + 60 * t, 31), QPointF(x0 + 38 + 60 * t, 40));
            break;
        case ProgressView::Animation::Delete:
            drawFolder(x0);
            p.setPen(line);
            p.setBrush(QColor(160, 160, 170));
            p.drawRect(x0 + w - 34, 18, 28, 28);
            p.setBrush(sheet);
            p.drawRect(QRectF(x0 + 40 + t * (w - 90), 6 + 10 * t, 18, 24));
            break;
        }
    }

private:
    QTimer m_timer;
    ProgressView::Animation m_kind = ProgressView::Animation::Copy;
    bool m_centred = true;
    int m_frame = 0;
};

TFormProgresso::TFormProgresso(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormProgresso"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    m_animation = new ProgressAnimation(this);
    layout->addWidget(m_animation);
    LbStatus = new QLabel(this);
    LbStatus->setObjectName(QStringLiteral("LbStatus"));
    layout->addWidget(LbStatus);
    auto *row = new QHBoxLayout;
    BarraProgresso = new QProgressBar(this);
    BarraProgresso->setObjectName(QStringLiteral("BarraProgresso"));
    BarraProgresso->setRange(0, 100);
    BarraProgresso->setTextVisible(false);
    row->addWidget(BarraProgresso);
    BtCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    BtCancelar->setObjectName(QStringLiteral("BtCancelar"));
    BtCancelar->hide();
    row->addWidget(BtCancelar);
    row->addStretch();
    layout->addLayout(row);
    LbTempoRestante = new QLabel(this);
    LbTempoRestante->setObjectName(QStringLiteral("LbTempoRestante"));
    layout->addWidget(LbTempoRestante);
    connect(BtCancelar, &QPushButton::clicked, this, [this] {
        close();
        if (onCancel)
            onCancel();
    });
}

void TFormProgresso::setTitle(const QString &title) { setWindowTitle(title); }
void TFormProgresso::setAnimation(Animation animation, bool centred) { m_animation->setKind(animation, centred); }
void TFormProgresso::setSize(int width, int height) { setFixedSize(width, height); }

void TFormProgresso::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TFormProgresso::setBarVisible(bool visible) { BarraProgresso->setVisible(visible); }
void TFormProgresso::setBarWidth(int width) { BarraProgresso->setFixedWidth(width); }
void TFormProgresso::setBarMaximum(int maximum) { BarraProgresso->setMaximum(maximum); }
void TFormProgresso::setBarPosition(int position) { BarraProgresso->setValue(std::min(position, BarraProgresso->maximum())); }
int TFormProgresso::barPosition() const { return BarraProgresso->value() < 0 ? 0 : BarraProgresso->value(); }
void TFormProgresso::setCancelVisible(bool visible) { BtCancelar->setVisible(visible); }
void TFormProgresso::setStatusText(const QString &text) { LbStatus->setText(text); }
void TFormProgresso::setElapsedText(const QString &text) { LbTempoRestante->setText(text); }

void TFormProgresso::show()
{
    QDialog::show();
    m_animation->start();
    LbTempoRestante->clear();
    BarraProgresso->setValue(0);
    QDialog::repaint();
}

void TFormProgresso::reject()
{
    // Hiding the dialog without cancelling would leave its work running with no way to show the
    // dialog again.
    if (BtCancelar->isVisibleTo(this))
        BtCancelar->click();
}

void TFormProgresso::close()
{
    m_animation->stop();
    BarraProgresso->setValue(0);
    QDialog::hide();
}

void TFormProgresso::repaint() { QDialog::repaint(); }

}  // namespace tivra::gui
