// TFormProgresso: the window of the progress dialog (a fixed dialog without system buttons).
#pragma once

#include "core/userinterface.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tivra::gui {

class ProgressAnimation;

class TFormProgresso : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit TFormProgresso(QWidget *parent = nullptr);

    void setTitle(const QString &title) override;
    void setAnimation(Animation animation, bool centred) override;
    void setSize(int width, int height) override;
    void centreOnScreen() override;
    void setBarVisible(bool visible) override;
    void setBarWidth(int width) override;
    void setBarMaximum(int maximum) override;
    void setBarPosition(int position) override;
    int barPosition() const override;
    void setCancelVisible(bool visible) override;
    void setStatusText(const QString &text) override;
    void setElapsedText(const QString &text) override;
    void show() override;
    void close() override;
    void repaint() override;
    // Esc does what the cancel button does when the dialog shows one, and nothing otherwise.
    void reject() override;

    QLabel *LbStatus = nullptr;
    QProgressBar *BarraProgresso = nullptr;
    QPushButton *BtCancelar = nullptr;
    QLabel *LbTempoRestante = nullptr;

private:
    ProgressAnimation *m_animation = nullptr;
};

}  // namespace tivra::gui
