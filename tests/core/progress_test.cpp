// How far a stage is: the count texts, the status log's reports, and the terminal progress line
// with its once-a-second pace (a fake clock, no sleeps) and its silence off a terminal.
#include "core/clock.h"
#include "core/progress.h"
#include "core/statuslog.h"
#include "core/userinterface.h"
#include "support/scriptedui.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tivra;

TEST(ProgressText, CountsAreGroupedByThousandsWithABlank)
{
    EXPECT_EQ(groupedCount(0), QStringLiteral("0"));
    EXPECT_EQ(groupedCount(999), QStringLiteral("999"));
    EXPECT_EQ(groupedCount(1000), QStringLiteral("1 000"));
    EXPECT_EQ(groupedCount(20000), QStringLiteral("20 000"));
    EXPECT_EQ(groupedCount(100000), QStringLiteral("100 000"));
    EXPECT_EQ(groupedCount(1234567), QStringLiteral("1 234 567"));
    EXPECT_EQ(groupedCount(-1500), QStringLiteral("-1 500"));
    EXPECT_EQ(groupedCount(std::numeric_limits<qint64>::min()), QStringLiteral("-9 223 372 036 854 775 808"));

    EXPECT_EQ(progressText(1234, 20000, ProgressUnit::Statements), QStringLiteral("1 234 de 20 000 instruções"));
    EXPECT_EQ(progressText(312, 5000, ProgressUnit::Files), QStringLiteral("312 de 5 000 arquivos"));
    EXPECT_EQ(progressText(40, 300, ProgressUnit::Tables), QStringLiteral("40 de 300 tabelas"));
    EXPECT_EQ(progressText(1200, 5000, ProgressUnit::Rows), QStringLiteral("1 200 de 5 000 linhas"));
    EXPECT_EQ(progressText(7, 12, ProgressUnit::Messages), QStringLiteral("7 de 12 mensagens"));
    EXPECT_EQ(progressText(2, 3, ProgressUnit::Labels), QStringLiteral("2 de 3 rótulos"));
    // The unit agrees with the total: singular for one, plural for none.
    EXPECT_EQ(progressText(0, 0, ProgressUnit::Statements), QStringLiteral("0 de 0 instruções"));
    EXPECT_EQ(progressText(0, 1, ProgressUnit::Statements), QStringLiteral("0 de 1 instrução"));
    EXPECT_EQ(progressText(1, 1, ProgressUnit::Tables), QStringLiteral("1 de 1 tabela"));
    EXPECT_EQ(progressText(1, 1, ProgressUnit::Messages), QStringLiteral("1 de 1 mensagem"));
    EXPECT_EQ(progressText(1, 1, ProgressUnit::Labels), QStringLiteral("1 de 1 rótulo"));

    EXPECT_EQ(stageProgressText(QStringLiteral("04. Arquivos Binários"), 312, 5000, ProgressUnit::Files),
              QStringLiteral("04. Arquivos Binários: 312 de 5 000 arquivos"));
    EXPECT_EQ(stageProgressText(QString(), 3, 4, ProgressUnit::Rows), QStringLiteral("3 de 4 linhas"));
}

namespace {
struct Report {
    QString stage;
    qint64 done, total;
    ProgressUnit unit;
};

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setClockForTesting([this] { return QDateTime::fromMSecsSinceEpoch(now, Qt::UTC); });
    }
    void TearDown() override { setClockForTesting({}); }

    // A terminal line that writes into `terminal`; `terminalAsked` counts the terminal checks.
    std::unique_ptr<TerminalProgressLine> line(bool isTerminal)
    {
        return std::make_unique<TerminalProgressLine>(
            [this, isTerminal] {
                ++terminalAsked;
                return isTerminal;
            },
            [this](const QByteArray &bytes) { terminal += bytes; });
    }

    qint64 now = 1'000'000;
    QByteArray terminal;
    int terminalAsked = 0;
};
}  // namespace

TEST_F(ProgressTest, TheStatusLogPassesCountsOnUnderItsStageAndKeepsNoTraceOfThem)
{
    StatusLog log;
    std::vector<Report> reports;
    int ends = 0;
    QObject::connect(&log, &StatusLog::progressReported,
                     [&](const QString &stage, qint64 done, qint64 total, ProgressUnit unit) {
                         reports.push_back({stage, done, total, unit});
                     });
    QObject::connect(&log, &StatusLog::progressEnded, [&] { ++ends; });

    log.endProgress();  // nothing was counted: nothing ends
    EXPECT_EQ(ends, 0);
    log.UpdateStatus("Executando 2 instruções", true, "06. Scripts de Banco", ImageSuccess, true);
    log.UpdateStatus("linha sem etapa", true, QString(), ImageSuccess, false);
    log.reportProgress(0, 2, ProgressUnit::Statements);
    log.reportProgress(1, 2, ProgressUnit::Statements);
    EXPECT_TRUE(log.progressActive());
    log.endProgress();
    log.endProgress();
    EXPECT_FALSE(log.progressActive());
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].stage, QStringLiteral("06. Scripts de Banco"));
    EXPECT_EQ(reports[1].done, 1);
    EXPECT_EQ(reports[1].total, 2);
    EXPECT_EQ(reports[1].unit, ProgressUnit::Statements);
    EXPECT_EQ(log.currentStage(), QStringLiteral("06. Scripts de Banco"));

    // The same reports into a log nobody follows: rows and text alike.
    StatusLog plain;
    plain.UpdateStatus("Executando 2 instruções", true, "06. Scripts de Banco", ImageSuccess, true);
    plain.UpdateStatus("linha sem etapa", true, QString(), ImageSuccess, false);
    EXPECT_EQ(plain.logText(), log.logText());
    ASSERT_EQ(plain.rows().size(), log.rows().size());
    EXPECT_EQ(plain.rows()[0].detalhes, log.rows()[0].detalhes);
}

TEST_F(ProgressTest, TheTerminalLineIsRewrittenAtMostOnceASecondAndBlankedAtTheEnd)
{
    StatusLog log;
    auto progress = line(true);
    progress->attach(log);
    log.UpdateStatus("início", true, "06. Scripts de Banco", ImageSuccess, true);

    log.reportProgress(0, 20000, ProgressUnit::Statements);  // the stage starts: nothing yet
    now += 999;
    log.reportProgress(1, 20000, ProgressUnit::Statements);
    EXPECT_TRUE(terminal.isEmpty());
    now += 1;
    log.reportProgress(1234, 20000, ProgressUnit::Statements);
    EXPECT_EQ(terminal, QStringLiteral("\r06. Scripts de Banco: 1 234 de 20 000 instruções").toUtf8());
    terminal.clear();
    // Many counts within the next second: none shown.
    for (int i = 0; i < 500; ++i) {
        now += 1;
        log.reportProgress(1235 + i, 20000, ProgressUnit::Statements);
    }
    EXPECT_TRUE(terminal.isEmpty());
    now += 500;
    log.reportProgress(19999, 20000, ProgressUnit::Statements);
    EXPECT_EQ(terminal, QStringLiteral("\r06. Scripts de Banco: 19 999 de 20 000 instruções").toUtf8());
    terminal.clear();

    // A shorter line blanks out what is left of the longer one.
    log.UpdateStatus("cópia", true, "04. Arquivos", ImageSuccess, true);
    now += 1000;
    log.reportProgress(3, 9, ProgressUnit::Files);
    const QString shorter = QStringLiteral("04. Arquivos: 3 de 9 arquivos");
    const int longer = int(QStringLiteral("06. Scripts de Banco: 19 999 de 20 000 instruções").size());
    EXPECT_EQ(terminal, (QLatin1Char('\r') + shorter + QString(longer - shorter.size(), QLatin1Char(' '))).toUtf8());
    terminal.clear();

    // The end blanks the line and leaves the cursor at its start; a second end writes nothing.
    log.endProgress();
    EXPECT_EQ(terminal, (QLatin1Char('\r') + QString(shorter.size(), QLatin1Char(' ')) + QLatin1Char('\r')).toUtf8());
    EXPECT_FALSE(progress->shown());
    terminal.clear();
    log.endProgress();
    progress.reset();
    EXPECT_TRUE(terminal.isEmpty());
}

TEST_F(ProgressTest, ShortStagesAndNonTerminalsShowNothing)
{
    StatusLog log;
    {
        // A stage within its first second.
        auto progress = line(true);
        progress->attach(log);
        for (int i = 0; i <= 100; ++i) {
            log.reportProgress(i, 100, ProgressUnit::Files);
            now += 9;
        }
        log.endProgress();
        // The next stage starts its own second.
        now += 5000;
        log.reportProgress(0, 10, ProgressUnit::Files);
        log.endProgress();
    }
    EXPECT_TRUE(terminal.isEmpty());

    // Standard error redirected to a file or a pipe: asked once, never written, however long.
    terminalAsked = 0;
    auto progress = line(false);
    progress->attach(log);
    for (int i = 0; i < 50; ++i) {
        log.reportProgress(i, 50, ProgressUnit::Statements);
        now += 2000;
    }
    log.endProgress();
    progress.reset();
    EXPECT_TRUE(terminal.isEmpty());
    EXPECT_EQ(terminalAsked, 1);
}

TEST_F(ProgressTest, OtherTextOnStandardErrorStartsOnACleanLine)
{
    StatusLog log;
    auto progress = line(true);
    progress->attach(log);
    log.reportProgress(0, 5, ProgressUnit::Tables);
    now += 1000;
    log.reportProgress(1, 5, ProgressUnit::Tables);
    ASSERT_TRUE(progress->shown());
    const QString shown = QStringLiteral("1 de 5 tabelas");
    terminal.clear();
    // An unattended message box first blanks the line (its own text goes to the real stderr).
    TerminalProgressLine::clearShownLine();
    EXPECT_EQ(terminal, (QLatin1Char('\r') + QString(shown.size(), QLatin1Char(' ')) + QLatin1Char('\r')).toUtf8());
    terminal.clear();
    TerminalProgressLine::clearShownLine();
    log.endProgress();
    EXPECT_TRUE(terminal.isEmpty());

    // A very long stage name is cut at the front: the counts stay and the line never wraps.
    log.UpdateStatus("x", true, QString(120, QLatin1Char('E')), ImageSuccess, true);
    log.reportProgress(0, 2, ProgressUnit::Rows);
    now += 1000;
    log.reportProgress(1, 2, ProgressUnit::Rows);
    const QString text = QString::fromUtf8(terminal);
    EXPECT_EQ(text.size(), 1 + TerminalProgressLine::kMaxWidth);
    EXPECT_TRUE(text.startsWith(QStringLiteral("\r...EEE")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(": 1 de 2 linhas")));
}
