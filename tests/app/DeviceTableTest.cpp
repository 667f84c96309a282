#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/DeviceTable.h"

using norvale::app::DeviceTable;

namespace {

// Inserts a row the way the discovery host does: at InsertPosition, then the address.
int Add(DeviceTable& table, const QString& name, const QString& address) {
    const int row = table.InsertRow(table.InsertPosition(name), name);
    table.SetAddress(row, address);
    return row;
}

QStringList Names(const DeviceTable& table) {
    QStringList names;
    for (int i = 0; i < table.Count(); ++i) names << table.Row(i).name + "@" + table.Row(i).address;
    return names;
}

}  // namespace

TEST(DeviceTable, RowsStayInOrdinalNameOrderAndEqualNamesKeepArrivalOrder) {
    DeviceTable table;
    Add(table, "nas-b", "127.0.0.3");
    Add(table, "Nas-z", "127.0.0.4");  // 'N' sorts before 'n' (ordinal, not locale)
    Add(table, "nas-b", "127.0.0.2");
    Add(table, "nas-a", "127.0.0.5");
    EXPECT_EQ(Names(table), (QStringList{"Nas-z@127.0.0.4", "nas-a@127.0.0.5", "nas-b@127.0.0.3",
                                         "nas-b@127.0.0.2"}));
    EXPECT_EQ(table.FindDeviceRow("nas-b", "127.0.0.2"), 3);
    EXPECT_EQ(table.FindDeviceRow("NAS-B", "127.0.0.2"), -1);  // identity is case-sensitive
}

TEST(DeviceTable, SelectionFollowsItsRowAndClearsWhenItsRowGoes) {
    DeviceTable table;
    Add(table, "b", "1");
    table.Select(0);
    QSignalSpy selections(&table, &DeviceTable::selectionChanged);
    Add(table, "a", "2");  // goes before the selected row
    EXPECT_EQ(table.Selected(), 1);
    table.RemoveRow(0);
    EXPECT_EQ(table.Selected(), 0);
    EXPECT_EQ(selections.count(), 0);  // still the same row
    table.RemoveRow(0);
    EXPECT_EQ(table.Selected(), -1);
    EXPECT_EQ(selections.count(), 1);
}

TEST(DeviceTable, LedMarkReportsOnlyChangesBetweenEmptyAndOn) {
    DeviceTable table;
    Add(table, "a", "1");
    EXPECT_TRUE(table.Row(0).led.isEmpty());
    EXPECT_TRUE(table.SetLed(0, true));
    EXPECT_EQ(table.Row(0).led, "1");
    EXPECT_FALSE(table.SetLed(0, true));
    EXPECT_TRUE(table.SetLed(0, false));
    EXPECT_TRUE(table.Row(0).led.isEmpty());
}

TEST(DeviceTable, LongNamesAreCutWithoutSplittingACharacter) {
    DeviceTable table;
    QString name(DeviceTable::kMaxText - 1, QChar('x'));
    name += QString::fromUtf8("\xF0\x9F\x98\x80");  // a surrogate pair across the limit
    const int row = Add(table, name, "1");
    EXPECT_EQ(table.Row(row).name.size(), DeviceTable::kMaxText - 1);
    EXPECT_FALSE(table.Row(row).name.back().isSurrogate());
}
