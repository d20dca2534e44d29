#include "core/groupedmodel.h"
#include "core/statuslog.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace tivra;

namespace {
// The flat view as text: "[group]" for headers, the message for rows.
QStringList flat(const GroupedModel &model)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r) {
        if (model.isGroupHeader(r))
            out << QStringLiteral("[") + model.groupText(r) + QStringLiteral("]");
        else
            out << model.index(r, StatusLog::ColDetalhes).data().toString();
    }
    return out;
}
}  // namespace

TEST(GroupedModel, GroupsInAscendingStageOrderWithTheEmptyGroupFirst)
{
    StatusLog log;
    GroupedModel model(&log, StatusLog::ColGroup);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    log.UpdateStatus("backup", false, "01. Backup", 1, true);
    log.UpdateStatus("rótulos", false, "11. Catálogo de Rótulos", 1, true);
    log.UpdateStatus("restrições", false, "08. Restrições de Funcionalidade", 1, true);
    log.UpdateStatus("solta", false, "", 1, true);
    log.UpdateStatus("backup 2", false, "01. Backup", 1, true);
    log.UpdateStatus("conclusão", false, "13. Conclusão", 1, true);
    EXPECT_EQ(flat(model), (QStringList{"[]", "solta", "[01. Backup]", "backup", "backup 2",
                                        "[08. Restrições de Funcionalidade]", "restrições",
                                        "[11. Catálogo de Rótulos]", "rótulos", "[13. Conclusão]", "conclusão"}));
    EXPECT_EQ(model.sourceRow(4), 4);
    EXPECT_EQ(model.rowOfSource(2), 6);
}

TEST(GroupedModel, CollapseExpandAndFilterKeepTheViewConsistent)
{
    StatusLog log;
    GroupedModel model(&log, StatusLog::ColGroup);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    log.UpdateStatus("a", false, "01. Backup", 1, true);
    log.UpdateStatus("b", false, "02. Preparação do Pacote", 2, true);
    model.collapseAll();
    EXPECT_EQ(flat(model), (QStringList{"[01. Backup]", "[02. Preparação do Pacote]"}));
    // Rows added to a collapsed group stay hidden until it is expanded.
    log.UpdateStatus("c", false, "02. Preparação do Pacote", 1, true);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.rowOfSource(2), -1);
    model.expandAll();
    EXPECT_EQ(flat(model), (QStringList{"[01. Backup]", "a", "[02. Preparação do Pacote]", "b", "c"}));

    log.setFilter(ImageError, true);
    EXPECT_EQ(flat(model), (QStringList{"[02. Preparação do Pacote]", "b"}));
    log.setFilter(0, false);
    EXPECT_EQ(model.rowCount(), 5);
    log.clearRows();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(GroupedModel, ImageChangesReachTheFlatRow)
{
    StatusLog log;
    GroupedModel model(&log, StatusLog::ColGroup);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    log.UpdateStatus("a", false, "01. Backup", ImageSuccess, true);
    EXPECT_EQ(model.index(1, StatusLog::ColImage).data(StatusLog::ImageRole).toInt(), 0);
    log.UpdateStatus("b", false, "01. Backup", ImageSuccess, true);
    EXPECT_EQ(model.index(1, StatusLog::ColImage).data(StatusLog::ImageRole).toInt(), 1);
}
