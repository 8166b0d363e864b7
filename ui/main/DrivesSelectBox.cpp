#include "ui/main/DrivesSelectBox.h"

#include "platform/DriveTable.h"
#include "platform/UserPath.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/CenterOverForm.h"
#include "ui/main/MainForm.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QChar ProgramDrive() {
  const auto drive = HostToDrive(QFile::encodeName(QCoreApplication::applicationFilePath()));
  return drive && !drive->isEmpty() ? drive->at(0).toUpper() : QChar();
}

namespace {

QChar ItemLetter(const QListWidgetItem& item) { return item.data(Qt::UserRole).toChar(); }

}  // namespace

// ---------------------------------------------------------------------------------------------

TShExDriveCheckListBox::TShExDriveCheckListBox(QWidget* parent) : QListWidget(parent) {
  setUniformItemSizes(true);
  Rebuild();
}

void TShExDriveCheckListBox::Rebuild() {
  clear();
  const QIcon icon = QFileIconProvider().icon(QFileIconProvider::Drive);
  for (const QChar letter : TDriveTable::Instance().Letters()) {
    // The list shows the drive's name; the letter goes with the item.
    auto* item = new QListWidgetItem(icon, DriveDisplayName(letter + QStringLiteral(":\\")), this);
    item->setData(Qt::UserRole, QVariant(letter.toUpper()));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

QString TShExDriveCheckListBox::CheckedLetters() const {
  QString letters;
  for (int i = 0; i < count(); ++i)
    if (item(i)->checkState() == Qt::Checked) letters += ItemLetter(*item(i));
  return letters;
}

void TShExDriveCheckListBox::CheckAll(bool checked) {
  for (int i = 0; i < count(); ++i) item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TShExDriveCheckListBox::SetChecked(QChar letter, bool checked) {
  for (int i = 0; i < count(); ++i)
    if (ItemLetter(*item(i)) == letter.toUpper()) {
      item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
      return;
    }
}

// ---------------------------------------------------------------------------------------------

TDrivesSelectBox::TDrivesSelectBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DrivesSelectBox"));
  setWindowTitle(QStringLiteral("Scan Drives"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral(
      "Korvane will show you detailed information about how your disk space is being used, but first it "
      "has to collect information about your folders and files. This process is called scanning."));
  intro->setWordWrap(true);
  auto* note = new QLabel(QStringLiteral("Note: NO changes will take place on your drives during the scan process."));
  note->setWordWrap(true);
  layout->addWidget(intro);
  layout->addWidget(note);

  auto* group = new QGroupBox(QStringLiteral(" Select one or more drives to scan "));
  auto* groupLayout = new QHBoxLayout(group);
  TheDrivesBox = new TShExDriveCheckListBox(group);
  groupLayout->addWidget(TheDrivesBox);
  auto* side = new QVBoxLayout;
  auto* cmdScan = new QPushButton(QStringLiteral("&Scan"));
  auto* cmdSelectAll = new QPushButton(QStringLiteral("Select &all"));
  auto* cmdDeselectAll = new QPushButton(QStringLiteral("&Deselect all"));
  auto* cmdCancel = new QPushButton(QStringLiteral("Cancel"));
  auto* cmdMap = new QPushButton(QStringLiteral("&Map Network Drive"));
  auto* cmdDisconnect = new QPushButton(QStringLiteral("&Disconnect Network Drive"));
  cmdScan->setDefault(true);
  for (QPushButton* b : {cmdScan, cmdSelectAll, cmdDeselectAll, cmdCancel, cmdMap, cmdDisconnect}) side->addWidget(b);
  side->addStretch();
  groupLayout->addLayout(side);
  layout->addWidget(group);

  connect(cmdScan, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdSelectAll, &QPushButton::clicked, this, [this] { TheDrivesBox->CheckAll(true); });
  connect(cmdDeselectAll, &QPushButton::clicked, this, [this] { TheDrivesBox->CheckAll(false); });
  connect(cmdMap, &QPushButton::clicked, this, [this] { NetworkDialog(true); });
  connect(cmdDisconnect, &QPushButton::clicked, this, [this] { NetworkDialog(false); });

  const QChar own = ProgramDrive();
  for (int i = 0; i < TheDrivesBox->count(); ++i)
    if (!own.isNull() && ItemLetter(*TheDrivesBox->item(i)) == own) {
      TheDrivesBox->item(i)->setCheckState(Qt::Checked);
      TheDrivesBox->setCurrentRow(i);
      break;
    }
  resize(460, 300);
  CenterOverForm(owner, this);
}

void TDrivesSelectBox::showEvent(QShowEvent* e) {
  // Centred again as it appears: at start-up the window manager may place the main window only
  // after this dialog was made.
  CenterOverForm(parentWidget(), this);
  QDialog::showEvent(e);
}

QStringList TDrivesSelectBox::CheckedTexts() const {
  QStringList texts;
  for (int i = 0; i < TheDrivesBox->count(); ++i)
    if (TheDrivesBox->item(i)->checkState() == Qt::Checked)
      texts << ItemLetter(*TheDrivesBox->item(i)) + TheDrivesBox->item(i)->text();
  return texts;
}

void TDrivesSelectBox::NetworkDialog(bool map) {
  RunNetworkDriveDialog(this, map);
  const QString checked = TheDrivesBox->CheckedLetters();
  TheDrivesBox->Rebuild();
  for (const QChar c : checked) TheDrivesBox->SetChecked(c, true);
  if (TheDrivesBox->count() > 0) TheDrivesBox->setCurrentRow(0);
}

// ---------------------------------------------------------------------------------------------

TMapDriveBox::TMapDriveBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("MapDriveBox"));
  setWindowTitle(QStringLiteral("Map Network Drive"));
  auto* form = new QFormLayout(this);
  cbLetter = new QComboBox;
  const TDriveTable& table = TDriveTable::Instance();
  for (char c = 'C'; c <= 'Z'; ++c)
    if (!table.Find(QLatin1Char(c))) cbLetter->addItem(QString(QLatin1Char(c)) + QLatin1Char(':'));
  ediFolder = new QLineEdit;
  auto* browse = new QPushButton(QStringLiteral("&Browse..."));
  auto* row = new QHBoxLayout;
  row->addWidget(ediFolder);
  row->addWidget(browse);
  form->addRow(QStringLiteral("&Drive:"), cbLetter);
  // A label for a row of widgets gets no buddy by itself: it names the folder's edit.
  auto* folderLabel = new QLabel(QStringLiteral("&Folder:"));
  folderLabel->setBuddy(ediFolder);
  form->addRow(folderLabel, row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Folder"), ediFolder->text());
    if (!dir.isEmpty()) ediFolder->setText(dir);
  });
}

void TMapDriveBox::accept() {
  const QString letter = cbLetter->currentText();
  QString error;
  if (letter.isEmpty() || ediFolder->text().isEmpty()) {
    ShowError(QStringLiteral("Choose a drive letter and a folder."), 2, this);
    return;
  }
  if (!MapDriveLetter(letter[0].toLatin1(), HostPathBytes(ediFolder->text()), &error)) {
    ShowError(error, 2, this);
    return;
  }
  QDialog::accept();
}

TDisconnectDriveBox::TDisconnectDriveBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("DisconnectDriveBox"));
  setWindowTitle(QStringLiteral("Disconnect Network Drive"));
  auto* layout = new QVBoxLayout(this);
  lbDrives = new QListWidget;
  for (const TDriveMapping& m : TDriveTable::Instance().UserMapped())
    lbDrives->addItem(QString(QLatin1Char(m.Letter)) + QStringLiteral(":  ") + QFile::decodeName(m.HostRoot));
  if (lbDrives->count() > 0) lbDrives->setCurrentRow(0);
  layout->addWidget(lbDrives);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TDisconnectDriveBox::accept() {
  QListWidgetItem* item = lbDrives->currentItem();
  if (!item) {
    QDialog::reject();
    return;
  }
  QString error;
  if (!UnmapDriveLetter(item->text()[0].toLatin1(), &error)) {
    ShowError(error, 2, this);
    return;
  }
  QDialog::accept();
}

bool RunNetworkDriveDialog(QWidget* owner, bool map) {
  if (map) {
    TMapDriveBox box(owner);
    return RunModalDialog(box) == QDialog::Accepted;
  }
  if (TDriveTable::Instance().UserMapped().empty()) {
    // An empty list with an OK button would only puzzle: say why there is nothing to choose.
    TMessageRequest request;
    request.Parent = owner;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Information;
    request.Text = QStringLiteral("No network drive is mapped. Use \"Map Network Drive...\" to map one.");
    ShowMessage(request);
    return false;
  }
  TDisconnectDriveBox box(owner);
  return RunModalDialog(box) == QDialog::Accepted;
}
