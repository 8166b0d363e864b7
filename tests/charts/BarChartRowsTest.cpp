// Tree bar chart rows and bars: pre-order rows with their levels, values with and without
// subfolders and wasted space, bar lengths (also near the 64-bit limit), folders without a
// record, indented texts, shortened paths and the width of the "Graph" column.
#include "charts/BarChartRows.h"

#include "scan/FolderSize.h"
#include "scan/FolderTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

namespace {

TTreeNode* Folder(TFolderTree& tree, TTreeNode* parent, const char16_t* name, int64_t total, int64_t files,
                  int64_t totalWasted = 0, int64_t filesWasted = 0) {
  TTreeNode* node = parent ? tree.AddChild(parent, name) : tree.AddTop(name);
  auto rec = std::make_unique<TFolderSize>();
  rec->TotalSize = total;
  rec->FilesSize = files;
  rec->TotalWasted = totalWasted;
  rec->FilesWasted = filesWasted;
  tree.SetData(node, std::move(rec));
  return node;
}

// C: > Top > {A > {A1}, B}, and Other beside Top.
struct TSmallTree {
  TFolderTree Tree;
  TTreeNode* Root = Folder(Tree, nullptr, u"C:", 1000, 0);
  TTreeNode* Top = Folder(Tree, Root, u"Top", 800, 0, 200, 0);
  TTreeNode* A = Folder(Tree, Top, u"A", 200, 100, 40, 10);
  TTreeNode* A1 = Folder(Tree, A, u"A1", 100, 100, 30, 30);
  TTreeNode* B = Folder(Tree, Top, u"B", 600, 0, 160, 0);
  TTreeNode* Other = Folder(Tree, Root, u"Other", 200, 200);
};

}  // namespace

TEST(BarChartRows, PreOrderFromTheChosenFolderWithLevelsInTheWholeTree) {
  TSmallTree t;
  const std::vector<TBarChartRow> rows = BarChartRows(t.Top);
  ASSERT_EQ(rows.size(), 4u);
  const TTreeNode* nodes[] = {t.Top, t.A, t.A1, t.B};
  const int32_t levels[] = {1, 2, 3, 2};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].Node, nodes[i]) << "row " << i;
    EXPECT_EQ(rows[i].Level, levels[i]) << "row " << i;
  }
  EXPECT_EQ(BarChartRows(t.Root).size(), 6u);
  EXPECT_TRUE(BarChartRows(nullptr).empty());
}

TEST(BarChartRows, DeepChainNeedsNoRecursion) {
  TFolderTree tree;
  TTreeNode* node = tree.AddTop(u"C:");
  TTreeNode* root = node;
  constexpr int Depth = 200000;
  for (int i = 0; i < Depth; ++i) node = tree.AddChild(node, u"d");
  const std::vector<TBarChartRow> rows = BarChartRows(root);
  ASSERT_EQ(rows.size(), static_cast<size_t>(Depth + 1));
  EXPECT_EQ(rows.back().Node, node);
  EXPECT_EQ(rows.back().Level, Depth);
}

TEST(BarChartRows, ValuesFollowTheTwoSwitches) {
  TSmallTree t;
  SelectedClusterIndex = 0;
  struct TCase {
    bool Subfolders, Wasted;
    int64_t Max, ValueOfA;
  } cases[] = {
      {true, false, 800, 200},
      {true, true, 1000, 240},
      {false, false, 800, 100},  // the reference stays the whole tree
      {false, true, 1000, 110},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "subfolders " << c.Subfolders << " wasted " << c.Wasted);
    EXPECT_EQ(BarChartMax(t.Top, c.Wasted), c.Max);
    EXPECT_EQ(BarChartValue(t.A, c.Subfolders, c.Wasted), c.ValueOfA);
  }
  // A folder without files has no bar when only the folder's own files count.
  EXPECT_EQ(BarLength(*BarChartValue(t.B, false, false), BarChartMax(t.Top, false), 200), 0);
}

TEST(BarChartRows, FolderWithoutRecordHasNoValueAndNoReference) {
  TSmallTree t;
  TTreeNode* cut = t.Tree.AddChild(t.Top, u"cut short");
  EXPECT_EQ(BarChartValue(cut, true, true), std::nullopt);
  EXPECT_EQ(BarChartMax(cut, true), 0);
  const std::vector<TBarChartRow> rows = BarChartRows(t.Top);
  EXPECT_EQ(rows.back().Node, cut);
}

TEST(BarChartRows, BarLengths) {
  constexpr int64_t Big = std::numeric_limits<int64_t>::max();
  struct TCase {
    int64_t Value, Max;
    int32_t Width, Expected;
  } cases[] = {
      {250, 1000, 200, 50},       // a quarter of the root
      {1000, 1000, 200, 200},     // the root itself: full width
      {999, 1000, 200, 199},      // truncated, not rounded
      {1, 1000, 200, 0},
      {0, 0, 200, 0},             // empty tree: no bars, no division by zero
      {5, 0, 200, 0},
      {-5, 1000, 200, 0},
      {2000, 1000, 200, 200},     // never wider than the column
      {Big / 2, Big, 4000, 1999}, // the product passes 2^63
      {Big - 1, Big, 65535, 65534},
      {Big, Big, 300, 300},
      {500, 1000, 0, 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(BarLength(c.Value, c.Max, c.Width), c.Expected) << c.Value << " of " << c.Max << " in " << c.Width;
}

TEST(BarChartRows, IndentedTextsCountLevelsFromTheDriveRoot) {
  TSmallTree t;
  EXPECT_EQ(IndentedFolderText(t.A, NodeLevel(t.A)), QStringLiteral("        A"));
  EXPECT_EQ(IndentedFolderText(t.Top, NodeLevel(t.Top)), QStringLiteral("    Top"));
  EXPECT_EQ(NodeLevel(t.Root), 0);
  EXPECT_EQ(NodeLevel(t.A1), 3);
}

TEST(BarChartRows, ShortenedPathsKeepDriveFirstFolderAndName) {
  const auto chars = [](const QString& s) { return static_cast<int32_t>(s.size()); };
  const QString path = QStringLiteral("C:\\Program Files\\Vendor\\Product\\Bin");
  struct TCase {
    int32_t Width;
    const char* Expected;
  } cases[] = {
      {100, "C:\\Program Files\\Vendor\\Product\\Bin"},
      {34, "C:\\Program Files\\...\\Product\\Bin"},
      {25, "C:\\Program Files\\...\\Bin"},
      {12, "C:\\...\\Bin"},
      {3, "...\\Bin"},
  };
  for (const TCase& c : cases) EXPECT_EQ(ShortenDrivePath(path, c.Width, chars), QString::fromUtf8(c.Expected)) << c.Width;
  EXPECT_EQ(ShortenDrivePath(QStringLiteral("C:\\"), 1, chars), QStringLiteral("C:\\"));
}

TEST(BarChartRows, GraphColumnWidth) {
  struct TCase {
    std::optional<int32_t> Stored;
    int32_t Header, Expected;
  } cases[] = {
      {std::nullopt, 501, 250}, {120, 500, 120}, {900, 500, 500}, {-3, 500, 250}, {0, 500, 0}, {40, -1, 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(GraphColumnWidth(c.Stored, c.Header), c.Expected);
}
