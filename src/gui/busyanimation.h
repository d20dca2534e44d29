// The busy animation of the top panel: a turning ring, driven by a timer that only ticks while
// the window's messages are pumped, as the long operations do between their steps.
#pragma once

#include <QTimer>
#include <QWidget>

namespace tivra::gui {

class BusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget *parent = nullptr);
    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_angle = 0;
};

}  // namespace tivra::gui
