#include "app/progressform.h"
#include "core/clock.h"
#include "support/scriptedui.h"

#include <gtest/gtest.h>

using namespace tivra;

namespace {
class ProgressFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setClockForTesting([this] { return now; });
    }
    void TearDown() override { setClockForTesting({}); }

    QDateTime now{QDate(2011, 3, 5), QTime(23, 59, 58)};
    testsupport::ScriptedUserInterface ui;
};
}  // namespace

TEST_F(ProgressFormTest, OpeningConfiguresTheDialogOnceAndTheElapsedTimeCountsPastMidnight)
{
    TProgressForm progress(ui);
    auto *view = ui.lastProgressView();
    progress.setTitulo(QStringLiteral("Sincronizando Arquivos, aguarde..."));
    EXPECT_EQ(view->title, QStringLiteral("Sincronizando Arquivos, aguarde..."));
    progress.setShown(true);
    EXPECT_TRUE(view->visible);
    EXPECT_EQ(view->width, 355);
    EXPECT_EQ(view->height, 153);
    EXPECT_TRUE(view->centred);
    EXPECT_FALSE(view->barVisible);
    EXPECT_FALSE(view->cancelVisible);
    EXPECT_EQ(view->barWidth, 328);

    now = now.addSecs(5);  // 00:00:03 of the next day
    progress.tick();
    EXPECT_EQ(view->elapsedText, QStringLiteral("Tempo Decorrido: 0:00:05"));
    now = now.addSecs(25 * 3600);
    progress.tick();
    EXPECT_EQ(view->elapsedText, QStringLiteral("Tempo Decorrido: 25:00:05"));

    // Opening again while shown changes nothing.
    view->width = 1;
    progress.setShown(true);
    EXPECT_EQ(view->width, 1);
    progress.setShown(false);
    EXPECT_FALSE(view->visible);
}

TEST_F(ProgressFormTest, AutomaticProgressClimbsByFiveAndStartsAgain)
{
    TProgressForm progress(ui);
    auto *view = ui.lastProgressView();
    progress.ProgressAutomatico = true;
    progress.MaxProgresso = 100;
    progress.setShown(true);
    for (int i = 0; i < 20; ++i)
        progress.tick();
    EXPECT_TRUE(view->barVisible);
    EXPECT_EQ(view->position, 100);
    progress.tick();
    EXPECT_EQ(view->position, 5);
}

TEST_F(ProgressFormTest, WithRealProgressNoElapsedTimeAndFindingShowsNone)
{
    TProgressForm progress(ui);
    auto *view = ui.lastProgressView();
    progress.MostraProgresso = true;
    progress.MostraCancelar = true;
    progress.setShown(true);
    EXPECT_TRUE(view->barVisible);
    EXPECT_EQ(view->barWidth, 240);
    now = now.addSecs(3);
    progress.tick();
    EXPECT_TRUE(view->elapsedText.isEmpty());

    TProgressForm finding(ui);
    auto *findView = ui.lastProgressView();
    finding.TipoProgresso = tpLocalizar;
    finding.setShown(true);
    EXPECT_EQ(findView->width, 112);
    EXPECT_FALSE(findView->centred);
    finding.tick();
    EXPECT_TRUE(findView->elapsedText.isEmpty());
}

TEST_F(ProgressFormTest, CancelClosesStopsAndTellsTheOwner)
{
    TProgressForm progress(ui);
    auto *view = ui.lastProgressView();
    int calls = 0;
    progress.OnCancelar = [&](TProgressForm *sender) {
        EXPECT_EQ(sender, &progress);
        ++calls;
    };
    progress.MostraCancelar = true;
    progress.setShown(true);
    view->onCancel();
    EXPECT_TRUE(progress.cancelled());
    EXPECT_FALSE(progress.shown());
    EXPECT_FALSE(view->visible);
    EXPECT_EQ(calls, 1);
    progress.setShown(true);
    EXPECT_FALSE(progress.cancelled());
}
