// korvane-bar-chart-bench [FOLDERS]: builds a folder tree of FOLDERS folders (default 100,000;
// ten children per folder) and times what opening the tree bar chart on its root costs: the rows
// in pre-order, and the bars and texts of every row. Prints "key: value" lines; the window itself
// only ever draws the visible rows.

#include "charts/BarChartRows.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/PathFunctions.h"

#include <QElapsedTimer>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

int main(int argc, char** argv) {
  const long folders = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
  if (folders < 1) {
    std::fputs("usage: korvane-bar-chart-bench [FOLDERS]\n", stderr);
    return 2;
  }
  TFolderTree tree;
  TTreeNode* root = tree.AddTop(u"C:");
  root->StateIndex = ('C' << 8) | 1;
  std::deque<TTreeNode*> open{root};
  long made = 1;
  while (made < folders) {
    TTreeNode* parent = open.front();
    open.pop_front();
    for (int i = 0; i < 10 && made < folders; ++i, ++made) {
      TTreeNode* child = tree.AddChild(parent, QStringLiteral("folder%1").arg(made));
      auto rec = std::make_unique<TFolderSize>();
      rec->TotalSize = rec->FilesSize = made * 4096;
      tree.SetData(child, std::move(rec));
      open.push_back(child);
    }
  }
  auto rec = std::make_unique<TFolderSize>();
  rec->TotalSize = INT64_C(1) << 40;
  tree.SetData(root, std::move(rec));

  QElapsedTimer timer;
  timer.start();
  const std::vector<TBarChartRow> rows = BarChartRows(root);
  const double rowsMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  timer.restart();
  const int64_t max = BarChartMax(root, false);
  int64_t pixels = 0;
  for (const TBarChartRow& row : rows) pixels += BarLength(BarChartValue(row.Node, true, false).value_or(0), max, 300);
  const double barsMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  timer.restart();
  int64_t chars = 0;
  for (const TBarChartRow& row : rows) chars += NodePath(row.Node).size();
  const double pathsMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

  std::printf("folders: %zu\n", rows.size());
  std::printf("rows-ms: %.2f\n", rowsMs);
  std::printf("bars-all-rows-ms: %.2f\n", barsMs);
  std::printf("paths-all-rows-ms: %.2f\n", pathsMs);
  std::printf("check: %" PRId64 " %" PRId64 "\n", pixels, chars);
  return 0;
}
