#include "cleanup/ui/MoveFolderBox.h"

#include "platform/DirEnum.h"
#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/CenterOverForm.h"
#include "ui/controls/DriveComboBox.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int MoveFolderHelp = 2100;
constexpr int FolderPathRole = Qt::UserRole;

QString RootOf(QChar letter) { return QString(letter.toUpper()) + QStringLiteral(":\\"); }

// The subfolders of a drive folder in name order; false when the folder cannot be read.
bool Subfolders(const QString& folder, QStringList& names) {
  TFindFile find;
  if (!find.Open(folder)) return false;
  TFindData data;
  while (find.Next(data))
    if ((data.Attributes & 0x10) && !(data.Attributes & 0x400)) names << data.Name;
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return true;
}

}  // namespace

TCleanUpMoveFolderBox::TCleanUpMoveFolderBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Move Folder"));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(495, 333);

  auto* lblSource = new QLabel(QStringLiteral("Move folder:"), this);
  lblSource->setGeometry(8, 6, 300, 16);
  ediFolderSource = new QLineEdit(this);
  ediFolderSource->setReadOnly(true);
  ediFolderSource->setBackgroundRole(QPalette::Button);
  ediFolderSource->setAutoFillBackground(true);
  ediFolderSource->setGeometry(8, 22, 479, 22);

  txtWastedOnSource = new QLabel(this);
  txtWastedOnSource->setWordWrap(true);
  txtWastedOnSource->setGeometry(8, 48, 479, 18);

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
  icon->setGeometry(8, 68, 24, 24);
  lblDrives = new QLabel(GainListText(true), this);
  lblDrives->setObjectName(QStringLiteral("lblDrives"));
  lblDrives->setWordWrap(true);
  lblDrives->setGeometry(38, 66, 449, 30);

  lvWasting = new QTreeWidget(this);
  lvWasting->setColumnCount(3);
  lvWasting->setHeaderLabels({QStringLiteral("Drive"), QStringLiteral("Cluster"), QStringLiteral("You gain")});
  lvWasting->setRootIsDecorated(false);
  lvWasting->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvWasting->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvWasting->header()->setSectionsClickable(false);
  lvWasting->setColumnWidth(0, 150);
  lvWasting->setColumnWidth(2, 120);
  lvWasting->setGeometry(8, 98, 479, 66);

  auto* lblTarget = new QLabel(QStringLiteral("To the following &new location:"), this);
  lblTarget->setGeometry(8, 168, 300, 16);
  ediFolderTarget = new QLineEdit(this);
  lblTarget->setBuddy(ediFolderTarget);
  ediFolderTarget->setGeometry(8, 184, 479, 22);

  cbDrives = new TShExDriveComboBox(this);
  cbDrives->setGeometry(8, 210, 170, 24);
  lbFolders = new QListWidget(this);
  lbFolders->setGeometry(8, 236, 170, 90);
  lbFolders->setIconSize(QSize(16, 16));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->viewport()->setAutoFillBackground(false);
  Memo1->setPlainText(QStringLiteral(
      "Note: If the folder contains an installed application, you should uninstall the application and install it to "
      "the new location. Some folders can also be moved by the application that uses them."));
  Memo1->document()->setDocumentMargin(0);
  QFont small = Memo1->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  Memo1->setFont(small);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setGeometry(186, 209, 301, 54);

  auto* lblImportant = new QLabel(
      QStringLiteral("IMPORTANT: Before moving the folder, make sure that all applications that use it will continue "
                     "to work properly even if you move the folder."),
      this);
  QFont bold = small;
  bold.setBold(true);
  lblImportant->setFont(bold);
  lblImportant->setWordWrap(true);
  lblImportant->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblImportant->setGeometry(186, 262, 301, 40);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setDefault(true);
  cmdOK->setGeometry(250, 303, 75, 25);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel->setGeometry(331, 303, 75, 25);
  cmdHelp = new QPushButton(QStringLiteral("Help"), this);
  cmdHelp->setGeometry(412, 303, 75, 25);

  // RAM disks are never offered as a place for the folder.
  for (int i = cbDrives->count() - 1; i >= 0; --i) {
    const QString text = cbDrives->itemText(i);
    if (!text.isEmpty() && DriveTypeOf(text[0]) == TDriveType::RamDisk) cbDrives->removeItem(i);
  }

  connect(cbDrives, &TShExDriveComboBox::Change, this, &TCleanUpMoveFolderBox::cbDrivesChange);
  connect(lvWasting, &QTreeWidget::itemSelectionChanged, this, &TCleanUpMoveFolderBox::lvWastingChange);
  connect(ediFolderTarget, &QLineEdit::textChanged, this, &TCleanUpMoveFolderBox::ediFolderTargetChange);
  connect(lbFolders, &QListWidget::itemActivated, this, &TCleanUpMoveFolderBox::lbFoldersActivated);
  connect(cmdOK, &QPushButton::clicked, this, &TCleanUpMoveFolderBox::cmdOKClick);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdHelp, &QPushButton::clicked, this, [this] { ShowHelpContext(this, MoveFolderHelp); });
  CenterOverForm(parent, this);
}

void TCleanUpMoveFolderBox::Prepare(const QString& sourcePath, const TFolderSize& rec) {
  const QString root = sourcePath.left(1) + QStringLiteral(":\\");
  Prepare(sourcePath, WasteOf(rec), ClusterSizeOf(root), DriveCandidates());
}

void TCleanUpMoveFolderBox::Prepare(const QString& sourcePath, const TFolderWaste& waste, int32_t sourceClusterSize,
                                    const std::vector<TDriveCandidate>& candidates) {
  ediFolderSource->setText(sourcePath);
  txtWastedOnSource->setText(
      QStringLiteral("This folder is wasting %1 on the drive where it is located.").arg(FormatSize(waste.shown)));
  lvWasting->clear();
  QFileIconProvider icons;
  const std::vector<TGainRow> rows = GainRows(sourceClusterSize, waste, candidates);
  lblDrives->setText(GainListText(!rows.empty()));
  lvWasting->setEnabled(!rows.empty());
  for (const TGainRow& row : rows) {
    auto* item = new QTreeWidgetItem(lvWasting);
    item->setText(0, row.caption.isEmpty() ? RootOf(QLatin1Char(row.letter)) : row.caption);
    item->setIcon(0, icons.icon(QFileIconProvider::Drive));
    item->setText(1, FormatSize32(row.clusterSize));
    item->setText(2, FormatSize(row.gain));
    item->setData(0, Qt::UserRole, QChar(QLatin1Char(row.letter)));
  }
  // The folder's own drive first, listed beside the folder's parent, so that the proposal is a
  // place next to where the folder is now (never the file system's root by chance).
  QChar start = sourcePath.isEmpty() ? QChar() : sourcePath.at(0).toUpper();
  bool listed = false;
  for (int i = 0; i < cbDrives->count() && !listed; ++i) listed = cbDrives->itemText(i).at(0).toUpper() == start;
  if (!listed) start = cbDrives->count() > 0 ? cbDrives->itemText(0).at(0) : QChar();
  if (start.isNull()) return;
  if (cbDrives->Drive().toUpper() == start.toUpper())
    cbDrivesChange();
  else
    cbDrives->SetDrive(start);
  if (listed && listed_.size() >= 3 && listed_.at(0).toUpper() == start) {
    const QString folder = StartFolderFor(sourcePath);
    if (folder != listed_) ShowFolder(folder);
  }
}

QString TCleanUpMoveFolderBox::Target() const { return ediFolderTarget->text(); }
QString TCleanUpMoveFolderBox::Source() const { return ediFolderSource->text(); }

bool TCleanUpMoveFolderBox::ShowFolder(const QString& folder) {
  QStringList names;
  if (!Subfolders(folder, names)) return false;
  listed_ = folder;
  lbFolders->clear();
  QFileIconProvider icons;
  // The path from the root down to the folder, then its subfolders one step further in.
  QString path = folder.left(3);
  const QStringList parts = folder.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  auto add = [&](const QString& text, const QString& itemPath, int depth, bool open) {
    auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + text, lbFolders);
    item->setIcon(icons.icon(open ? QFileIconProvider::Folder : QFileIconProvider::Folder));
    item->setData(FolderPathRole, itemPath);
    return item;
  };
  QListWidgetItem* current = add(path, path, 0, true);
  int depth = 1;
  for (const QString& part : parts) {
    path = path.endsWith(QLatin1Char('\\')) ? path + part : path + QLatin1Char('\\') + part;
    current = add(part, path, depth++, true);
  }
  for (const QString& name : names) {
    const QString child = path.endsWith(QLatin1Char('\\')) ? path + name : path + QLatin1Char('\\') + name;
    add(name, child, depth, false);
  }
  lbFolders->setCurrentItem(current);
  lbFoldersChange();
  return true;
}

void TCleanUpMoveFolderBox::cbDrivesChange() {
  const QChar letter = cbDrives->Drive();
  if (letter.isNull()) return;
  if (!ShowFolder(RootOf(letter))) {
    TMessageRequest request;
    request.Parent = this;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    request.Text = QString(letter.toUpper()) +
                   QStringLiteral(": is not accessible. The drive door may not be closed or the network connection may "
                                  "be down. Please try to correct this error and retry.");
    ShowMessage(request);
    if (!listed_.isEmpty()) {
      QSignalBlocker block(cbDrives);
      cbDrives->SetDrive(listed_.at(0));
    }
    lbFoldersChange();
  }
}

void TCleanUpMoveFolderBox::lbFoldersChange() {
  if (listed_.isEmpty()) return;
  ediFolderTarget->setText(ProposedTarget(listed_, ediFolderSource->text()));
}

void TCleanUpMoveFolderBox::lbFoldersActivated() {
  QListWidgetItem* item = lbFolders->currentItem();
  if (!item) return;
  const QString folder = item->data(FolderPathRole).toString();
  if (!folder.isEmpty() && folder != listed_) ShowFolder(folder);
}

void TCleanUpMoveFolderBox::lvWastingChange() {
  const QList<QTreeWidgetItem*> selected = lvWasting->selectedItems();
  if (selected.isEmpty()) return;
  cbDrives->SetDrive(selected.first()->data(0, Qt::UserRole).toChar());
}

void TCleanUpMoveFolderBox::ediFolderTargetChange() {
  cmdOK->setEnabled(TargetAcceptable(ediFolderTarget->text(), ediFolderSource->text()));
}

void TCleanUpMoveFolderBox::cmdOKClick() {
  if (!TargetAcceptable(ediFolderTarget->text(), ediFolderSource->text())) return;
  accept();
}
