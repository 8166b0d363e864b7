#pragma once
// What the window's command controllers (scans, free-space operations, reports) ask of the window
// around them: a parent for their dialogs and message boxes, the status line, the folder tree's
// selection and the pages. Nothing else of the window is theirs to touch.

#include <QString>

class QWidget;
class TTreeNode;

class IWindowServices {
public:
  virtual ~IWindowServices() = default;
  // The parent of the controllers' dialogs and message boxes.
  virtual QWidget* Window() = 0;
  // Panel 0 is the status line's text, panel 1 its second part.
  virtual void SetStatusText(int panel, const QString& text) = 0;

  // The folder tree: selecting (with the drive guard; false when refused), the selection, and
  // bringing a folder into view (selected, expanded, the tree focused).
  virtual bool SelectNode(TTreeNode* node) = 0;
  virtual TTreeNode* SelectedNode() const = 0;
  virtual void RevealNode(TTreeNode* node) = 0;
  // Shows the selected folder again after it was read anew.
  virtual void ShowSelectionAgain() = 0;

  // Makes node the shown folder before the selection follows (the not-ready page when it has no
  // figures); false when it cannot be shown.
  virtual bool PreparePages(TTreeNode* node) = 0;
  // Every page forgets what it showed; refresh: the current page is shown again at once.
  virtual void InvalidateAll(bool refresh) = 0;
  // The page on show (TPageIndex) and showing another.
  virtual int ShownPage() const = 0;
  virtual void ShowPage(int page) = 0;
  // The drive list follows a change of the drives (a network drive mapped or disconnected).
  virtual void RebuildDriveList() = 0;
};
