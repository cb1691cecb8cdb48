#include "shell/RowTableModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>

using namespace brevane;

TEST(RowTableModel, ShowsKeysAndChoiceEntriesAndKeepsOrder)
{
    RowTableModel model({"server", "protocol"});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    model.addObject({{"server", "a"}, {"protocol", QVariantMap{{"value", "IMAP"}}}});
    model.addObjects({{{"server", "b"}}, {{"server", "c"}}});

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(0, 1).data().toString(), "IMAP");
    EXPECT_EQ(model.index(2, 0).data().toString(), "c");
    EXPECT_FALSE(model.index(1, 1).data().isValid());

    // Editing a choice cell replaces the entry instead of the map turning into text.
    ASSERT_TRUE(model.setData(model.index(0, 1), "AUTO"));
    EXPECT_EQ(model.arrangedObjects().at(0).value("protocol").toMap().value("value").toString(), "AUTO");

    model.removeObjectAtArrangedIndex(1);
    EXPECT_EQ(model.index(1, 0).data().toString(), "c");
    model.removeAllObjects();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(RowTableModel, SelectionIsAscendingAndClearedOnBadRow)
{
    RowTableModel model({"queueID"});
    model.setRows({{{"queueID", "A"}}, {{"queueID", "B"}}, {{"queueID", "C"}}});
    model.selectionModel()->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    model.selectionModel()->select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(model.selectionIndexes(), (QList<int>{0, 2}));
    model.setSelectionIndex(1);
    EXPECT_EQ(model.selectionIndexes(), (QList<int>{1}));
    model.setSelectionIndex(7);
    EXPECT_TRUE(model.selectionIndexes().isEmpty());
}

TEST(RowTableModel, CheckBoxAndSecretColumns)
{
    RowTableModel model({"pword", "authenticate"});
    model.setSecretKeys({"pword"});
    model.setCheckBoxKeys({"authenticate"});
    model.addObject({{"pword", "abc"}, {"authenticate", 0}});
    EXPECT_EQ(model.index(0, 0).data().toString(), QString(3, QChar(0x2022)));
    EXPECT_EQ(model.index(0, 0).data(Qt::EditRole).toString(), "abc");
    EXPECT_EQ(model.index(0, 1).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    ASSERT_TRUE(model.setData(model.index(0, 1), Qt::Checked, Qt::CheckStateRole));
    // The row keeps the integer state the relay-host choice reads.
    EXPECT_EQ(model.arrangedObjects().at(0).value("authenticate").toInt(), 1);
}
