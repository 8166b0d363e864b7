#pragma once
// The pages of the main window and what they need of the window around them. A page fills itself
// for a folder, forgets what it showed when the figures change, and lays itself out; everything
// else (the tree's selection, the status line, the tool window, menus) it asks of its host.

#include <QString>

#include <cstdint>

class QIcon;
class QPoint;
class QWidget;
class TCurrentFolder;
class TScanSession;
class TSettings;
class TTreeNode;

// One page behind the main window's tabs.
class IFolderPage {
public:
  virtual ~IFolderPage() = default;
  // Shows node (the current folder, with its figures); work already done for it is not repeated.
  virtual void FillFor(TTreeNode* node) = 0;
  // Forgets what was shown, so that the next FillFor builds the page again.
  virtual void Forget() = 0;
  // Fits the page's contents to its size.
  virtual void LayOut() = 0;
};

// The pages' numbers, as the page actions and SelectPage count them.
// They are stored (the page on show) and name the page actions (cmdViewPageN): a new page gets the
// next number wherever its tab stands.
enum TPageIndex { pgPie, pgFolderInfo, pgSubfolders, pgWasted, pgFreeSpace, pgTreemap, PageCount };

// The window's tabs: tab 0 is the not-ready page, then the pie, the treemap beside it, and the
// other pages in their order.
constexpr int TabOfPage(int page) { return page == pgPie ? 1 : page == pgTreemap ? 2 : page + 2; }
// The page behind a tab; -1 for the not-ready tab.
constexpr int PageOfTab(int tab) { return tab <= 0 ? -1 : tab == 1 ? int(pgPie) : tab == 2 ? int(pgTreemap) : tab - 2; }
// The pages in the order of their tabs.
inline constexpr TPageIndex PagesInTabOrder[PageCount] = {pgPie, pgTreemap, pgFolderInfo, pgSubfolders, pgWasted, pgFreeSpace};
static_assert([] {
  for (int i = 0; i < PageCount; ++i)
    if (TabOfPage(PagesInTabOrder[i]) != i + 1 || PageOfTab(i + 1) != PagesInTabOrder[i]) return false;
  return true;
}());

class IPageHost {
public:
  virtual ~IPageHost() = default;
  virtual TCurrentFolder& Current() = 0;
  virtual TScanSession& Session() = 0;
  // The program's settings; a page follows the ones it shows through their Changed signal.
  virtual TSettings& Settings() = 0;
  // The window, as the parent of dialogs and menus the pages open.
  virtual QWidget* Window() = 0;
  // True when page k is the one on show with a folder's figures (not the not-ready page).
  virtual bool PageShowing(int k) const = 0;
  // The not-ready page is on show instead of the folder's pages.
  virtual bool NotReady() const = 0;
  // Shows page k again with what it forgot, when it is the current page.
  virtual void RefillIfCurrent(int k) = 0;

  // The folder tree: selecting (with the drive guard; false when refused), expanding, collapsing.
  virtual bool SelectNode(TTreeNode* node) = 0;
  virtual TTreeNode* SelectedNode() const = 0;
  virtual void ExpandNode(TTreeNode* node) = 0;
  virtual void CollapseNode(TTreeNode* node) = 0;
  virtual bool NodeExpanded(TTreeNode* node) const = 0;
  // Makes node the shown folder before the selection follows (the not-ready page when it has no
  // figures). False when node cannot be shown.
  virtual bool PreparePages(TTreeNode* node) = 0;
  virtual void GoUpOneLevel() = 0;

  virtual void ShowItemContextMenu(const QString& path, TTreeNode* node, int64_t size, QPoint pos, QWidget* control) = 0;
  virtual void SetStatusText(int panel, const QString& text) = 0;
  virtual void ShowSectionSizeWindow(bool visible) = 0;
  // The "Wasted & Drive Info" window's share and size of the item under the mouse.
  virtual void ShowSectionWasted(int share, const QString& text) = 0;
  virtual void ShowTreeBarChart() = 0;
};
