// The main window's start-up and end: creation, first showing and activation, the start-up
// scans, closing and the saving of placement and settings.

#include "ui/main/MainForm.h"

#include "charts/FolderColorsSetting.h"
#include "charts/ui/BarChartBox.h"

#include "config/Options.h"
#include "config/SettingsWarnings.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanQueue.h"
#include "scan/ScanSession.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/main/DrivesSelectBox.h"
#include "ui/main/MainFormInternal.h"
#include "ui/main/ScanCommands.h"
#include "ui/main/ReportEntry.h"
#include "ui/main/ScanFileCommands.h"
#include "ui/main/SubfoldersPage.h"
#include "ui/main/WindowPlacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <random>

using MainFormInternal::DriveText;
using MainFormInternal::ToDrivePath;

namespace {

std::function<void()>& CreationHook() {
  static std::function<void()> hook;
  return hook;
}

// The window's placement as the placement helpers see it.
class TWidgetPlacement : public IFormPlacement {
public:
  explicit TWidgetPlacement(QWidget& w) : w_(w) {}
  int32_t Left() const override { return w_.geometry().x(); }
  int32_t Top() const override { return w_.geometry().y(); }
  int32_t Width() const override { return w_.width(); }
  int32_t Height() const override { return w_.height(); }
  void SetLeft(int32_t value) override { w_.move(value, w_.geometry().y()); }
  void SetTop(int32_t value) override { w_.move(w_.geometry().x(), value); }
  void SetWidth(int32_t value) override { w_.resize(value, w_.height()); }
  void SetHeight(int32_t value) override { w_.resize(w_.width(), value); }
  TWindowState WindowState() const override {
    if (w_.isMinimized()) return wsMinimized;
    if (w_.isMaximized()) return wsMaximized;
    return wsNormal;
  }
  void SetWindowState(TWindowState state) override {
    const Qt::WindowStates keep = w_.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    w_.setWindowState(keep | (state == wsMinimized ? Qt::WindowMinimized
                                                   : state == wsMaximized ? Qt::WindowMaximized : Qt::WindowNoState));
  }

private:
  QWidget& w_;
};

}  // namespace

void SetMainFormCreationHook(std::function<void()> hook) { CreationHook() = std::move(hook); }

void TMainForm::FormCreate() {
  current_.SetDrive(QChar(), 0, 0, 0);
  session_->SetSelectedClusterIndex(0);
  settings_.Load();
  FolderColorsSetting().Load(settings_->PieColors);
  if (CreationHook()) CreationHook()();
  std::srand(static_cast<unsigned>(std::random_device{}()));
  // The hint line: QMainWindow hands every status tip to the status bar, which shows it over the
  // whole bar and brings the path back when the tip is cleared.
  SelectPage(0);
  setWindowTitle(ProgramName);
  DriveBox->setCurrentIndex(-1);
  ClustersBox->setCurrentIndex(0);
  SubfoldersPage->SetSavedValues(ReadFoldersDisplaySettings());
  setAcceptDrops(true);
}

void TMainForm::FormShow() {
  TWidgetPlacement placement(*this);
  // A first start opens at two thirds of the screen, centred; later starts where the last ended.
  if (!WindowSizeStored(RegistryKeyPath, DesktopSection)) {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) setGeometry(FirstStartGeometry(screen->availableGeometry(), minimumSizeHint()));
  }
  LoadFormPlacement(placement, RegistryKeyPath, DesktopSection);
  treeShare_ = LoadTreeShare(RegistryKeyPath, DesktopSection);
  FitTreeToShare();
  FollowSettings(sgWasted | sgPieContents);
  ShowDesktopViews();
}

void TMainForm::FormActivate() {
  if (activated_) return;
  activated_ = true;
  try {
    if (!ProgramDrive().isNull()) DriveBox->SetDrive(ProgramDrive());
  } catch (const std::exception&) {
  }
  TWidgetPlacement placement(*this);
  try {
    LoadWindowState(placement, RegistryKeyPath, DesktopSection);
  } catch (const std::exception&) {
  }
  QCoreApplication::postEvent(this, new QEvent(StartupEventType));
}

void TMainForm::FormDestroy(bool report) {
  if (destroyed_) return;
  destroyed_ = true;
  session_->Abort();
  QStringList failures;
  const auto attempt = [&failures](const std::function<void()>& save) {
    try {
      save();
    } catch (const std::exception& e) {
      failures << QString::fromUtf8(e.what());
    } catch (...) {
      failures << QStringLiteral("unknown error");
    }
  };
  attempt([this] {
    TWidgetPlacement placement(*this);
    SaveWindowState(placement, RegistryKeyPath, DesktopSection);
    if (placement.WindowState() == wsNormal) SaveFormPlacement(placement, RegistryKeyPath, DesktopSection);
    SaveTreeShare(treeShare_, RegistryKeyPath, DesktopSection);
  });
  if (SubfoldersPage && SubfoldersPage->HasSavedValues())
    attempt([this] { WriteFoldersDisplaySettings(SubfoldersPage->SavedValues()); });
  if (SectionSizeBox) attempt([this] { SectionSizeBox->SavePlacement(); });
  if (BarChartBox) attempt([this] { BarChartBox->SaveSettings(); });
  attempt([this] { settings_.Save(); });
  // A settings file that could not be read is never written; what was said about it on the way
  // (and not shown yet) is part of this report.
  if (const QString pending = TakeSettingsWarningMessage(); !pending.isEmpty()) failures << pending;
  if (failures.isEmpty()) return;
  failures.removeDuplicates();
  const QString text = QStringLiteral("The settings could not be saved: ") + failures.join(QStringLiteral("; "));
  qWarning("Korvane: %s", qPrintable(text));
  if (report) {
    try {
      ShowError(text, 2, this);
    } catch (...) {
    }
  }
}

void TMainForm::FitTreeToShare() {
  if (!MainSplitter || !TheLeftPanel->isVisibleTo(this)) return;
  const int handle = MainSplitter->handle(1) ? MainSplitter->handleWidth() : 0;
  MainSplitter->setSizes(SplitByTreeShare(MainSplitter->width() - handle, treeShare_));
}

bool TMainForm::event(QEvent* e) {
  if (e->type() == StartupEventType) {
    Guarded([this] { RunStartupScans(); });
    return true;
  }
  if (e->type() == QEvent::WindowActivate) FormActivate();
  return QMainWindow::event(e);
}

void TMainForm::showEvent(QShowEvent* e) {
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
  QMainWindow::showEvent(e);
  // Platforms without window activation (offscreen) still run the start-up once.
  if (!activated_) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TMainForm::closeEvent(QCloseEvent* e) {
  closing_ = true;
  session_->Abort();
  setAcceptDrops(false);
  if (SectionSizeBox) SectionSizeBox->SetProgramEnding();
  // The settings are saved now, while the window can still say that they could not be.
  FormDestroy(true);
  QMainWindow::closeEvent(e);
}

void TMainForm::RunStartupScans() {
  if (startupBegun_) return;
  startupBegun_ = true;
  if (!arguments_.isEmpty() && arguments_.first().toUpper().startsWith(QStringLiteral("/R"))) {
    RunReportRequest(*this, arguments_, [this] { startupDone_ = true; });
    return;
  }
  if (const QString text = TakeSettingsWarningMessage(); !text.isEmpty()) ShowMessage({this, text, ProgramName, TMessageIcon::Warning});
  // The drives to scan at every start, then the folders and drives given on the command line,
  // each after the scans of the one before have ended; a stopped scan ends each list.
  QStringList drives;
  for (const QChar letter : settings_->DrivesToAutoScan.toUpper()) drives << DriveText(letter);
  const bool ran = scans_->Run([this, drives] {
    scanCommands_->ScanDriveTexts(drives, [this] {
      scans_->Sequence(
          static_cast<int>(arguments_.size()), [this](int i) { OpenStartupArgument(arguments_[i]); },
          [this] { return !session_->Aborted(); },
          [this] {
            if (ScannedDrives().isEmpty() && scanFiles_->Pending() == 0 && !closing_) scanCommands_->ScanDrivesDialog();
            scans_->Then([this] { startupDone_ = true; });
          });
    });
  });
  if (!ran) startupDone_ = true;
}

void TMainForm::OpenStartupArgument(const QString& argument) {
  const QString path = ToDrivePath(argument);
  if (IsScanFileArgument(argument)) {
    scanFiles_->OpenScanFile(argument);
  } else if (argument.isEmpty()) {
    ShowError(QStringLiteral("An empty path was given: it names no folder or drive."), 2, this);
  } else if (path.isEmpty()) {
    ShowError(QStringLiteral("%1 is not on any drive.").arg(argument), 2, this);
  } else if (IsDriveRoot(path)) {
    scanCommands_->ScanOrRescanDrive(DriveText(path[0]));
  } else {
    scanCommands_->GoToFolder(path);
  }
}
