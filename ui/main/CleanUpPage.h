#pragma once
// The "Free Some Space" page: the current folder's path and four command panels (archive, move,
// send to the trash, delete) that light up under the mouse and explain themselves in the hint
// memo below them. The page only shows; the window carries the commands out.

#include "ui/main/PageHost.h"

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QEvent;
class QLabel;
class QPlainTextEdit;
class TSensitivePanel;

// The commands, in the order of the hint table's indexes less one.
enum TCleanUpCommand { ccMove = 1, ccArchive = 2, ccRecycle = 3, ccDelete = 4 };

class TCleanUpPage : public QWidget, public IFolderPage {
  Q_OBJECT

public:
  // run carries a command out for the current folder.
  TCleanUpPage(IPageHost& host, QWidget* page, std::function<void(int command)> run);

  void FillFor(TTreeNode* node) override;
  void Forget() override { shownPath_.clear(); }
  void LayOut() override {}

  // The hint memo's texts by index: 0 with no panel under the mouse, then move, archive, recycle,
  // delete.
  static QString HintText(int index);

  // Lights up a panel and shows its hint (the mouse entered it); puts it back (the mouse left).
  void panCleanMenuMoveSensitiveActivate(TSensitivePanel* panel);
  void panCleanMenuMoveSensitiveDeactivate(TSensitivePanel* panel);
  // Whether a command can be run from its panel now.
  void SetCommandEnabled(int command, bool enabled);

  QLabel* txtWebCleanUpPath = nullptr;
  TSensitivePanel* panCleanMenuCompress = nullptr;
  TSensitivePanel* panCleanMenuMove = nullptr;
  TSensitivePanel* panCleanMenuRecycle = nullptr;
  TSensitivePanel* panCleanMenuDelete = nullptr;
  QPlainTextEdit* ediCleanMenuHint = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TPanel {
    TSensitivePanel* Panel = nullptr;
    QLabel* Label = nullptr;
    QLabel* Shortcut = nullptr;
    int Command = 0;
  };
  TPanel* Find(const TSensitivePanel* panel);
  void SetPanelColors(TPanel& p, bool highlighted);

  IPageHost& host_;
  std::function<void(int)> run_;
  std::array<TPanel, 4> panels_{};
  QString shownPath_;
};
