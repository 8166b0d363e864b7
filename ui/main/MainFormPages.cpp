// The main window's pages: which page shows, the not-ready page, the drive figures and the
// status line.

#include "ui/main/MainForm.h"

#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/CleanUpPage.h"
#include "ui/main/FolderInfoPage.h"
#include "ui/main/FolderPie.h"
#include "ui/main/FreeSpaceCommands.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/main/TrashPanel.h"
#include "ui/main/ToolWindows.h"
#include "ui/main/WastedPage.h"

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTabWidget>
#include <QVariant>

#include <algorithm>

using MainFormInternal::RootOf;

void TMainForm::SetStatusText(int panel, const QString& text) {
  (panel == 0 ? StatusPanel0 : StatusPanel1)->setText(text);
}

void TMainForm::ShowSectionSizeWindow(bool visible) {
  if (!SectionSizeBox || SectionSizeBox->isVisible() == visible) return;
  if (visible && !SectionSizeBox->property("placed").toBool()) {
    // First showing: beside the main window rather than in a corner of the screen.
    SectionSizeBox->setProperty("placed", true);
    SectionSizeBox->move(frameGeometry().topRight() + QPoint(8, 0));
  }
  SectionSizeBox->setVisible(visible);
}

void TMainForm::SetNotReady(bool on) {
  notReady_ = on;
  if (on) {
    ThePages->setTabVisible(0, true);
    ThePages->setCurrentIndex(0);
    for (int i = 1; i <= PageCount; ++i) ThePages->setTabVisible(i, false);
  } else {
    for (int i = 1; i <= PageCount; ++i)
      ThePages->setTabVisible(i, PageOfTab(i) != pgFreeSpace || (current_.Node() && current_.Node()->Parent()));
    ThePages->setTabVisible(0, false);
    ThePages->setCurrentIndex(TabOfPage(currentPage_));
  }
}

void TMainForm::FillNotReadyText() {
  const QString item = !current_.Node() ? QStringLiteral("item") : current_.Node()->Parent() ? QStringLiteral("folder") : QStringLiteral("drive");
  QString caption;
  QString text;
  if (ScannedDrives().isEmpty()) {
    caption = QStringLiteral("No scanned items");
    text = QStringLiteral("No drives have been scanned.\n\nTo scan a drive, select it in the drives list box located in the "
                          "toolbar and press the 'Scan' toolbar button.");
  } else {
    caption = QStringLiteral("Folder not scanned");
    text = Scanning() ? QStringLiteral("Korvane has not finished gathering information about this %1.\n\nYou may wait until the "
                                     "%1 is completely scanned\n\nor\n\nyou may select another drive or folder from the left "
                                     "folder tree view.")
                    : QStringLiteral("The scanning process was interrupted before Korvane had finished scanning this "
                                     "%1.\n\nYou may rescan the %1\n\nor\n\nyou may select another drive or folder from the "
                                     "left folder tree view.");
    text = text.arg(item);
  }
  if (ThePages->isTabVisible(0)) ThePages->setTabText(0, caption);
  if (txtNotReady->toPlainText() != text) txtNotReady->setPlainText(text);
}

bool TMainForm::PreparePages(TTreeNode* node) {
  current_.SetNode(node);
  if (node && node->Data()) {
    if (!node->Parent() && currentPage_ == 4) currentPage_ = 0;
    SetNotReady(false);
    return true;
  }
  ShowSectionSizeWindow(false);
  PaintNotReadyPanel();
  SetNotReady(true);
  FillNotReadyText();
  if (!node && ScannedDrives().isEmpty()) {
    cmdFileRescan->setEnabled(false);
    cmdFileRemove->setEnabled(false);
    // Nothing is shown any more: the caption names no folder.
    setWindowTitle(ProgramName);
  }
  return false;
}

void TMainForm::PaintNotReadyPanel() {
  QPalette pal = panNotReady->palette();
  const TColor color = settings_->PieColors[13];
  pal.setColor(QPalette::Window, IsSystemColor(color) ? palette().color(QPalette::Window)
                                                      : QColor(RedOf(color), GreenOf(color), BlueOf(color)));
  panNotReady->setPalette(pal);
}

void TMainForm::SelectPage(int k) {
  currentPage_ = k;
  TTreeNode* node = SelectedNode();
  if (!PreparePages(node)) return;
  if (k == 4 && !node->Parent()) {
    SelectPage(0);
    return;
  }
  FillPage(k, node);
}

void TMainForm::FillPage(int k, TTreeNode* node) {
  // Each page skips work it has already done for this node.
  if (SectionSizeBox) SectionSizeBox->ShowFolderWasted(node);
  if (k < 0 || k >= PageCount || !pages_[k]) return;
  pages_[k]->FillFor(node);
  LayoutNotReadyText();
}

void TMainForm::LayoutCurrentPage() {
  // The not-ready text follows its half of the panel; the page on show lays itself out.
  LayoutNotReadyText();
  if (currentPage_ == pgPie && PiePage && !notReady_) PiePage->LayOut();
}

void TMainForm::RefillIfCurrent(int k) {
  if (currentPage_ == k) SelectPage(currentPage_);
}

void TMainForm::ShowSectionWasted(int share, const QString& text) {
  if (SectionSizeBox) SectionSizeBox->ShowWasted(share, text);
}

void TMainForm::ShowTreeBarChart() {
  if (cmdViewTreeBarChart) cmdViewTreeBarChart->trigger();
}

void TMainForm::SectionBoxClosedByUser() {
  if (cmdViewPieSectionSizeWindow) cmdViewPieSectionSizeWindow->setChecked(false);
}

void TMainForm::ClustersBoxChange(int index) {
  session_->SetSelectedClusterIndex(index);
  InvalidateAll(true);
}

void TMainForm::LayoutNotReadyText() {
  if (!txtNotReady || !panNotReadyRight) return;
  const int top = txtNotReady->y();
  txtNotReady->setGeometry(txtNotReady->x(), top, std::clamp(panNotReadyRight->width() - 4, 0, 200),
                           std::max(panNotReadyRight->height() - top - 4, 0));
}

void TMainForm::InvalidateAll(bool refresh) {
  for (IFolderPage* page : pages_)
    if (page) page->Forget();
  if (refresh) SelectPage(currentPage_);
}

void TMainForm::InvalidateList(bool refresh) {
  if (pages_[pgSubfolders]) pages_[pgSubfolders]->Forget();
  if (refresh) SelectPage(currentPage_);
}

void TMainForm::InvalidatePie() {
  if (pages_[pgPie]) pages_[pgPie]->Forget();
  if (currentPage_ == pgPie) SelectPage(pgPie);
}

void TMainForm::UpdateDriveInfo() {
  if (!current_.Node()) return;
  const QChar letter = !current_.Node()->Parent() ? NodeDriveLetter(current_.Node()) : current_.Path().at(0);
  const TDriveRecInfo* rec = session_->Drive(letter);
  // A scan file has no disk behind it: its whole is what it lists, its free space unknown.
  if (rec && rec->Loaded) {
    const TFolderSize* whole = rec->Node ? rec->Node->Data() : nullptr;
    current_.SetDrive(letter, rec->ClusterSize, whole ? whole->TotalSize : -1, -1);
    SetStatusText(1, QStringLiteral("Scan file, not a disk"));
    return;
  }
  // The pie's header and the tool window show the drive's figures from the current folder.
  current_.SetDrive(letter, rec ? rec->ClusterSize : ClusterSizeOf(RootOf(letter)), TotalSpace(RootOf(letter)),
                    FreeSpace(RootOf(letter)));
  if (DriveBox->Drive() != letter) DriveBox->SetDrive(letter);
  SetStatusText(1, ClusterStatusText(current_.DriveClusterSize(), FileSystemName(RootOf(letter))));
}

void TMainForm::BuildFreeSpacePage() {
  CleanUpPage = new TCleanUpPage(*this, pageCleanUp, [this](int command) { freeSpace_->Run(command); });
  pages_[pgFreeSpace] = CleanUpPage;
  // After the trash is emptied, its folders that lie in scanned drives are read again.
  if (auto* trash = CleanUpPage->findChild<TTrashPanel*>())
    connect(trash, &TTrashPanel::FoldersChanged, this, [this](const QStringList& paths) {
      QStringList scanned;
      for (const QString& path : paths)
        if (session_->FindFolder(path)) scanned << path;
      freeSpace_->RefreshFolders(scanned);
    });
  // Ctrl+B, Ctrl+D, Ctrl+M and Ctrl+R, with exactly Ctrl held, while the page's tab is visible
  // (whichever page is on show).
  const std::pair<QKeyCombination, int> keys[] = {{Qt::CTRL | Qt::Key_B, ccRecycle},
                                                  {Qt::CTRL | Qt::Key_D, ccDelete},
                                                  {Qt::CTRL | Qt::Key_M, ccMove},
                                                  {Qt::CTRL | Qt::Key_R, ccArchive}};
  for (const auto& [key, command] : keys) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, command = command] {
      if (!notReady_ && ThePages->isTabVisible(TabOfPage(pgFreeSpace))) freeSpace_->Run(command);
    });
  }
}
