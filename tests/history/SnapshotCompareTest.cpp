// Comparing two snapshots folder by folder.

#include "history/SnapshotCompare.h"
#include "tests/history/SnapshotBuilder.h"

#include <gtest/gtest.h>

namespace {

QStringList Lines(const TSnapshotComparison& diff) {
  QStringList out;
  for (const TFolderChange& c : diff.Changes)
    out << QStringLiteral("%1 %2 %3")
               .arg(c.Kind == TFolderChange::New    ? QStringLiteral("new")
                    : c.Kind == TFolderChange::Gone ? QStringLiteral("gone")
                                                    : QStringLiteral("change"))
               .arg(SignedBytes(c.Delta), c.Path);
  return out;
}

TEST(SnapshotCompareTest, ChangedNewAndGoneFoldersLargestFirstThenByPath) {
  const TSnapshot older = MakeSnapshot({{"", 1000},
                                        {"docs", 300},
                                        {"docs/old", 100},
                                        {"docs/same", 50},
                                        {"music", 600},
                                        {"music/live", 600},
                                        {"tmp", 100},
                                        {"b", 0}},
                                       QStringLiteral("C:\\"));
  const TSnapshot newer = MakeSnapshot({{"", 1500},
                                        {"music", 400},
                                        {"music/live", 400},
                                        {"docs", 350},
                                        {"docs/same", 50},
                                        {"docs/new", 300},
                                        {"docs/new/deep", 300},
                                        {"tmp", 200},
                                        {"a", 50},
                                        {"b", 0}},
                                       QStringLiteral("Z:\\"));
  const TSnapshotComparison diff = CompareSnapshots(older, newer);
  EXPECT_EQ(diff.TotalChange, 500);
  // Paths under the newer snapshot's root; same absolute change in path order.
  EXPECT_EQ(Lines(diff), QStringList({
                             "change +500 Z:\\",
                             "new +300 Z:\\docs\\new",
                             "new +300 Z:\\docs\\new\\deep",
                             "change -200 Z:\\music",
                             "change -200 Z:\\music\\live",
                             "gone -100 Z:\\docs\\old",
                             "change +100 Z:\\tmp",
                             "new +50 Z:\\a",
                             "change +50 Z:\\docs",
                         }));
}

TEST(SnapshotCompareTest, SameNameUnderAnotherParentIsAnotherFolder) {
  // "x" moved from a to b: gone in one place, new in the other; names are compared as bytes.
  const TSnapshot older = MakeSnapshot({{"", 10}, {"a", 10}, {"a/x", 10}, {"b", 0}, {"B", 5}});
  const TSnapshot newer = MakeSnapshot({{"", 10}, {"a", 0}, {"b", 10}, {"b/x", 10}, {"B", 5}}, QStringLiteral("T:\\sub"));
  EXPECT_EQ(Lines(CompareSnapshots(older, newer)), QStringList({
                                                       "change -10 T:\\sub\\a",
                                                       "gone -10 T:\\sub\\a\\x",
                                                       "change +10 T:\\sub\\b",
                                                       "new +10 T:\\sub\\b\\x",
                                                   }));
  EXPECT_EQ(SignedBytes(0), QStringLiteral("+0"));
  EXPECT_EQ(SignedBytes(-7), QStringLiteral("-7"));
  EXPECT_TRUE(CompareSnapshots(older, older).Changes.empty());
}

}  // namespace
