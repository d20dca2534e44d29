#include "core/clock.h"
#include "core/statuslog.h"
#include "support/scriptedui.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
class StatusLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setClockForTesting([] { return QDateTime(QDate(2011, 3, 5), QTime(14, 7, 33)); });
        log.setUserInterface(&ui);
    }
    void TearDown() override { setClockForTesting({}); }

    std::vector<int> images() const
    {
        std::vector<int> codes;
        for (const auto &row : log.rows())
            codes.push_back(row.image);
        return codes;
    }

    testsupport::ScriptedUserInterface ui;
    StatusLog log;
};
}  // namespace

TEST_F(StatusLogTest, ARowShowsNeutralUntilTheNextRowSettlesIt)
{
    log.UpdateStatus("ok", true, "01. Backup", ImageSuccess, true);
    EXPECT_EQ(images(), (std::vector<int>{0}));
    log.UpdateStatus("falhou", true, "01. Backup", ImageError, true);
    EXPECT_EQ(images(), (std::vector<int>{1, 2}));
    log.UpdateStatus("ignorado", true, "01. Backup", ImageIgnored, true);
    EXPECT_EQ(images(), (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(log.lastStatusImage(), ImageIgnored);
    log.settleLastRow();
    EXPECT_EQ(images(), (std::vector<int>{1, 2, 3}));
}

TEST_F(StatusLogTest, LogOnlyReportsNeverTouchTheGridOrTheLastImage)
{
    log.UpdateStatus("linha", true, "02. Preparação do Pacote", ImageSuccess, true);
    log.UpdateStatus("só no log", true, "", ImageError, false);
    EXPECT_EQ(log.rows().size(), 1u);
    EXPECT_EQ(log.rows()[0].image, 0);
    EXPECT_EQ(log.lastStatusImage(), ImageSuccess);
    EXPECT_EQ(log.logText().size(), 2);
}

TEST_F(StatusLogTest, GridOnlyRowsAreNotLogged)
{
    log.UpdateStatus("só na grade", false, "02. Preparação do Pacote", ImageError, true);
    EXPECT_EQ(log.rows().size(), 1u);
    EXPECT_TRUE(log.logText().isEmpty());
}

TEST_F(StatusLogTest, LogItemsAreTimeStampedAndEmptyMessagesAddALineBreak)
{
    log.UpdateStatus("Mensagem", true, "", ImageSuccess, false);
    log.UpdateStatus("", true, "", ImageSuccess, false);
    ASSERT_EQ(log.logText().size(), 2);
    EXPECT_EQ(log.logText()[0], QStringLiteral("05/03/2011 - 14:07:33- Mensagem"));
    EXPECT_EQ(log.logText()[1], QStringLiteral("\r\n"));
}

TEST_F(StatusLogTest, LongMessagesAreCutInTheGridOnly)
{
    const QString message(250, QLatin1Char('x'));
    const QString stage(120, QLatin1Char('s'));
    log.UpdateStatus(message, true, stage, ImageSuccess, true);
    EXPECT_EQ(log.rows()[0].detalhes.size(), 200);
    EXPECT_EQ(log.rows()[0].group.size(), 100);
    EXPECT_TRUE(log.logText()[0].endsWith(message));
}

TEST_F(StatusLogTest, EveryReportPumpsEvents)
{
    log.UpdateStatus("a", false, "", 1, false);
    log.UpdateStatus("b", true, "", 1, true);
    EXPECT_EQ(ui.pumps(), 2);
}

TEST_F(StatusLogTest, FilterAndImageCount)
{
    log.UpdateStatus("a", true, "01. Backup", ImageSuccess, true);
    log.UpdateStatus("b", true, "01. Backup", ImageError, true);
    log.UpdateStatus("c", true, "04. Arquivos Binários", ImageSuccess, true);
    log.UpdateStatus("d", true, "04. Arquivos Binários", ImageError, true);
    // Images now: 1, 1, 2, 2 (the last still shows 2 because it reported an error).
    EXPECT_EQ(log.countImage(ImageError), 2);
    EXPECT_TRUE(log.filterOn());
    EXPECT_EQ(log.rowCount(), 2);
    EXPECT_EQ(log.visibleRow(0).detalhes, QStringLiteral("b"));

    // A row added while the filter is on appears only when it passes, and settling rows moves
    // them in and out of the filtered view.
    log.UpdateStatus("e", true, "04. Arquivos Binários", ImageSuccess, true);  // d settles to 2
    EXPECT_EQ(log.rowCount(), 2);
    log.UpdateStatus("f", true, "04. Arquivos Binários", ImageError, true);  // e settles to 1, f is 2
    EXPECT_EQ(log.rowCount(), 3);

    log.setFilter(0, false);
    EXPECT_EQ(log.rowCount(), 6);
    EXPECT_EQ(log.countImage(ImageNeutral), 0);
    log.setFilter(0, false);
}

TEST_F(StatusLogTest, SignalsAskTheGridToExpandAndFollowTheNewRow)
{
    QSignalSpy expand(&log, &StatusLog::expandAllRequested);
    QSignalSpy current(&log, &StatusLog::currentRowChanged);
    log.UpdateStatus("a", true, "", 1, true);
    log.UpdateStatus("b", true, "", 1, true);
    log.UpdateStatus("c", true, "", 1, false);
    EXPECT_EQ(expand.count(), 2);
    ASSERT_EQ(current.count(), 2);
    EXPECT_EQ(current.at(1).at(0).toInt(), 1);
}

TEST_F(StatusLogTest, ClearingRowsKeepsTheLogTextAndLastImage)
{
    log.UpdateStatus("a", true, "", ImageIgnored, true);
    log.clearRows();
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(log.logText().size(), 1);
    EXPECT_EQ(log.lastStatusImage(), ImageIgnored);
    // The first row after clearing has no predecessor to settle.
    log.UpdateStatus("b", true, "", ImageSuccess, true);
    EXPECT_EQ(images(), (std::vector<int>{0}));
}
