// TProgressForm: the progress dialog a window shows while a long file operation runs on the one
// thread. It drives its window (TFormProgresso, through the user-interface seam): the animation,
// the optional bar and "Cancelar" button, and the elapsed time refreshed every second. The timer
// ticks only while the caller pumps messages, which the callers do between files.
#pragma once

#include "core/userinterface.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace tivra {

enum TTipoProgresso { tpCopiar, tpLocalizar, tpExcluir };

class TProgressForm : public QObject {
    Q_OBJECT
public:
    explicit TProgressForm(UserInterface &ui, QObject *parent = nullptr);
    ~TProgressForm() override;

    bool ProgressAutomatico = false;
    TTipoProgresso TipoProgresso = tpCopiar;
    bool MostraProgresso = false;
    int MaxProgresso = 0;
    bool MostraCancelar = false;
    std::function<void(TProgressForm *sender)> OnCancelar;

    QString Titulo() const { return m_titulo; }
    void setTitulo(const QString &titulo);

    bool shown() const { return m_shown; }
    void setShown(bool shown);
    bool cancelled() const { return m_cancelled; }

    // The caller moves the bar itself when MostraProgresso is true.
    void setProgress(int position);
    // The status line of the dialog.
    void setStatus(const QString &text);

    // One timer tick (every second while shown).
    void tick();

    ProgressView &view() { return *m_view; }

private:
    void cancel();

    UserInterface &m_ui;
    std::unique_ptr<ProgressView> m_view;
    QTimer m_timer;
    QDateTime m_start;
    QString m_titulo;
    bool m_shown = false;
    bool m_cancelled = false;
};

// Elapsed time as hours, minutes and seconds ("0:00:05", "25:00:01"): hours keep counting past a
// day, so an operation that passes midnight keeps counting up.
QString elapsedText(qint64 milliseconds);

}  // namespace tivra
