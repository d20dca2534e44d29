#include "core/progress.h"

#include "core/clock.h"
#include "core/statuslog.h"
#include "platform/system.h"

#include <cstdio>

namespace tivra {

namespace {

// The line on the terminal now, for clearShownLine.
TerminalProgressLine *&lineInView()
{
    static TerminalProgressLine *line = nullptr;
    return line;
}

QString unitText(ProgressUnit unit, bool singular)
{
    switch (unit) {
    case ProgressUnit::Statements: return singular ? QStringLiteral("instrução") : QStringLiteral("instruções");
    case ProgressUnit::Files: return singular ? QStringLiteral("arquivo") : QStringLiteral("arquivos");
    case ProgressUnit::Tables: return singular ? QStringLiteral("tabela") : QStringLiteral("tabelas");
    case ProgressUnit::Rows: return singular ? QStringLiteral("linha") : QStringLiteral("linhas");
    case ProgressUnit::Messages: return singular ? QStringLiteral("mensagem") : QStringLiteral("mensagens");
    case ProgressUnit::Labels: return singular ? QStringLiteral("rótulo") : QStringLiteral("rótulos");
    }
    return {};
}

void writeStandardError(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

}  // namespace

QString groupedCount(qint64 value)
{
    // The magnitude as unsigned, so that the lowest value has one too.
    const bool negative = value < 0;
    quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    const QString digits = QString::number(magnitude);
    QString text;
    text.reserve(digits.size() + digits.size() / 3 + 1);
    if (negative)
        text += QLatin1Char('-');
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += QLatin1Char(' ');
        text += digits.at(i);
    }
    return text;
}

QString progressText(qint64 done, qint64 total, ProgressUnit unit)
{
    return groupedCount(done) + QStringLiteral(" de ") + groupedCount(total) + QLatin1Char(' ')
        + unitText(unit, total == 1);
}

QString stageProgressText(const QString &stage, qint64 done, qint64 total, ProgressUnit unit)
{
    const QString counts = progressText(done, total, unit);
    return stage.isEmpty() ? counts : stage + QStringLiteral(": ") + counts;
}

TerminalProgressLine::TerminalProgressLine(std::function<bool()> isTerminal, Writer write)
    : m_isTerminal(isTerminal ? std::move(isTerminal) : std::function<bool()>(platform::standardErrorIsTerminal)),
      m_write(write ? std::move(write) : Writer(writeStandardError))
{
}

TerminalProgressLine::~TerminalProgressLine()
{
    QObject::disconnect(m_reported);
    QObject::disconnect(m_ended);
    end();
}

void TerminalProgressLine::attach(StatusLog &log)
{
    QObject::disconnect(m_reported);
    QObject::disconnect(m_ended);
    m_reported = QObject::connect(&log, &StatusLog::progressReported,
                                  [this](const QString &stage, qint64 done, qint64 total, ProgressUnit unit) {
                                      report(stage, done, total, unit);
                                  });
    m_ended = QObject::connect(&log, &StatusLog::progressEnded, [this] { end(); });
}

void TerminalProgressLine::report(const QString &stage, qint64 done, qint64 total, ProgressUnit unit)
{
    if (m_terminal < 0)
        m_terminal = m_isTerminal() ? 1 : 0;
    if (m_terminal == 0)
        return;
    const qint64 now = currentMSecsSinceEpoch();
    if (!m_running) {
        m_running = true;
        m_lastMoment = now;
        return;
    }
    if (now - m_lastMoment < kIntervalMs)
        return;
    m_lastMoment = now;
    QString text = stageProgressText(stage, done, total, unit);
    if (text.size() > kMaxWidth)
        text = QStringLiteral("...") + text.right(kMaxWidth - 3);
    const int width = int(text.size());
    // A shorter line than the one shown blanks out the rest of it.
    if (width < m_shownWidth)
        text += QString(m_shownWidth - width, QLatin1Char(' '));
    m_write((QLatin1Char('\r') + text).toUtf8());
    m_shownWidth = width;
    lineInView() = this;
}

void TerminalProgressLine::end()
{
    m_running = false;
    if (m_shownWidth > 0) {
        m_write((QLatin1Char('\r') + QString(m_shownWidth, QLatin1Char(' ')) + QLatin1Char('\r')).toUtf8());
        m_shownWidth = 0;
    }
    if (lineInView() == this)
        lineInView() = nullptr;
}

void TerminalProgressLine::clearShownLine()
{
    TerminalProgressLine *line = lineInView();
    if (!line || line->m_shownWidth == 0)
        return;
    line->m_write((QLatin1Char('\r') + QString(line->m_shownWidth, QLatin1Char(' ')) + QLatin1Char('\r')).toUtf8());
    line->m_shownWidth = 0;
}

}  // namespace tivra
