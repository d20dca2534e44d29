#include "core/memtable.h"

#include <gtest/gtest.h>

using namespace tivra;

TEST(MemTable, StoresRowsByFieldNameWithWidthsAndAutoIncrement)
{
    MemTable table("cdsDbs", {{"ID", MemTable::Type::AutoInc, 0},
                              {"ALIAS", MemTable::Type::Text, 5},
                              {"IMAGE", MemTable::Type::Integer, 0}});
    const int a = table.append({{"ALIAS", "PRODUCAO"}, {"image", 1}});
    const int b = table.append();
    EXPECT_EQ(table.text(a, "ALIAS"), QStringLiteral("PRODU"));
    EXPECT_EQ(table.integer(a, "IMAGE"), 1);
    EXPECT_EQ(table.integer(a, "ID"), 1);
    EXPECT_EQ(table.integer(b, "ID"), 2);
    // NULL reads as empty text or 0.
    EXPECT_TRUE(table.isNull(b, "ALIAS"));
    EXPECT_EQ(table.text(b, "ALIAS"), QString());
    EXPECT_EQ(table.integer(b, "IMAGE"), 0);
    EXPECT_THROW(table.value(a, "MISSING"), std::invalid_argument);
    EXPECT_THROW(table.value(7, "ALIAS"), std::out_of_range);
    table.clear();
    EXPECT_TRUE(table.isEmpty());
}

TEST(MemTable, OnlyEditableFieldsAcceptGridEdits)
{
    MemTable table("t", {{"LOGIN", MemTable::Type::Text, 30}, {"IMAGE", MemTable::Type::Integer, 0}});
    table.setEditableFields({"LOGIN"});
    table.append({{"IMAGE", 1}});
    int editedRow = -1;
    QString editedField;
    QObject::connect(&table, &MemTable::edited, [&](int row, const QString &field) {
        editedRow = row;
        editedField = field;
    });
    EXPECT_FALSE(table.setData(table.index(0, 1), 5));
    EXPECT_TRUE(table.setData(table.index(0, 0), QStringLiteral("usuario")));
    EXPECT_EQ(editedRow, 0);
    EXPECT_EQ(editedField, QStringLiteral("LOGIN"));
    EXPECT_EQ(table.text(0, "LOGIN"), QStringLiteral("usuario"));
}
