// How far a long stage is: the counts a stage reports while it works through its items, their
// text ("1 234 de 20 000 instruções"), and the progress line an unattended run keeps on a
// terminal.
//
// A stage reports through StatusLog::reportProgress and ends with StatusLog::endProgress; the
// status log passes the reports on as signals and keeps no trace of them, so the log text and the
// status rows are the same whether anybody listens or not. Listeners decide how often they show
// anything: the main window repaints its subtitle at most every 100 ms, the terminal line is
// rewritten at most once a second.
#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QString>
#include <functional>

namespace tivra {

class StatusLog;

// What a stage counts.
enum class ProgressUnit { Statements, Files, Tables, Rows, Messages, Labels };

// A count with its thousands grouped by a blank: "20 000", "1 234 567", "-1 500".
QString groupedCount(qint64 value);

// "1 234 de 20 000 instruções", "312 de 5 000 arquivos", "1 de 1 tabela", "0 de 0 linhas". The
// unit agrees with the total (singular only for a total of one).
QString progressText(qint64 done, qint64 total, ProgressUnit unit);

// The same text behind the stage it belongs to ("06. Scripts de Banco: 12 de 40 instruções");
// without a stage, the counts alone.
QString stageProgressText(const QString &stage, qint64 done, qint64 total, ProgressUnit unit);

// A progress line on standard error for runs without a window. It writes only when standard error
// is a terminal, rewrites the line in place (carriage return) at most once a second, and blanks
// it out when the stage ends, so that whatever is written next starts on a clean line. A stage
// that ends within its first second shows nothing.
class TerminalProgressLine {
public:
    using Writer = std::function<void(const QByteArray &bytes)>;
    static constexpr qint64 kIntervalMs = 1000;
    // The longest line written, so that it never wraps on a terminal of 80 columns.
    static constexpr int kMaxWidth = 79;

    // Defaults: the terminal test of standard error and a write to it (flushed).
    explicit TerminalProgressLine(std::function<bool()> isTerminal = {}, Writer write = {});
    ~TerminalProgressLine();
    TerminalProgressLine(const TerminalProgressLine &) = delete;
    TerminalProgressLine &operator=(const TerminalProgressLine &) = delete;

    // Follows the reports of a status log until destroyed.
    void attach(StatusLog &log);

    void report(const QString &stage, qint64 done, qint64 total, ProgressUnit unit);
    // The stage ended: the line, if shown, is blanked out and the cursor is back at its start.
    void end();
    bool shown() const { return m_shownWidth > 0; }

    // Blanks out the line of whichever progress line is shown (before other text goes to
    // standard error, such as an unattended message box).
    static void clearShownLine();

private:
    std::function<bool()> m_isTerminal;
    Writer m_write;
    int m_terminal = -1;       // unknown until the first report
    bool m_running = false;    // a stage is reporting
    qint64 m_lastMoment = 0;   // when the line was last written, or the stage's first report
    int m_shownWidth = 0;      // characters of the line on the terminal now
    QMetaObject::Connection m_reported, m_ended;
};

}  // namespace tivra
