// The Options dialog.

#include "ui/options/OptionsBox.h"

#include "charts/Canvas.h"
#include "charts/FolderColorsSetting.h"
#include "config/OptionsValues.h"
#include "config/Settings.h"
#include "config/ShellVerb.h"
#include "history/StoreLocation.h"
#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/VolumeInfo.h"
#include "shell/Help.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/CenterOverForm.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFile>
#include <QFileIconProvider>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace {

constexpr int OptionsHelpContext = HelpContext::OptionsDialog;

// A scroll area that asks for the whole of its contents (QScrollArea's own hint stops at a few
// dozen lines of text), so that the dialog scrolls only where the screen is too small for it.
class TFittingScrollArea : public QScrollArea {
public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    const int frame = 2 * frameWidth();
    return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
  }
};

TOptionsBox::TColorPicker& Picker() {
  static TOptionsBox::TColorPicker picker;
  return picker;
}

}  // namespace

void TOptionsBox::SetColorPicker(TColorPicker picker) { Picker() = std::move(picker); }

TOptionsBox::TOptionsBox(TSettings& settings, QWidget* owner) : QDialog(owner), settings_(settings) {
  setObjectName(QStringLiteral("OptionsBox"));
  setWindowTitle(QStringLiteral("Options"));
  setProperty("helpContext", OptionsHelpContext);
  ProgramPath = QCoreApplication::applicationFilePath();
  const TOptionsValues values = CurrentOptionsValues(settings_);
  WorkColors = values.Colors;

  // The choices scroll when the screen is too small for them all; the buttons stay in view.
  auto* outer = new QVBoxLayout(this);
  auto* scroll = new TFittingScrollArea(this);
  scroll->setObjectName(QStringLiteral("OptionsScroll"));
  scroll->setFrameShape(QFrame::NoFrame);
  // Tab goes to the choices inside (the area scrolls to the one with the focus), not to the area.
  scroll->setFocusPolicy(Qt::NoFocus);
  scroll->setWidgetResizable(true);
  auto* content = new QWidget(scroll);
  auto* grid = new QGridLayout(content);
  grid->setContentsMargins(0, 0, 0, 0);

  // Colours.
  auto* colors = new QGroupBox(QStringLiteral(" Co&lors "), this);
  auto* colorsLayout = new QGridLayout(colors);
  lbColors = new QListWidget(colors);
  lbColors->setObjectName(QStringLiteral("lbColors"));
  lbColors->setAccessibleName(QStringLiteral("Colors"));
  for (const char* name : PieColorNames) lbColors->addItem(QString::fromLatin1(name));
  lbColors->setMinimumWidth(lbColors->sizeHintForColumn(0) + 2 * lbColors->frameWidth() + 24);
  colorsLayout->addWidget(lbColors, 0, 0, 1, 3);
  colorsLayout->addWidget(new QLabel(QStringLiteral("Color"), colors), 1, 0);
  TheColorButton = new QFrame(colors);
  TheColorButton->setObjectName(QStringLiteral("TheColorButton"));
  TheColorButton->setFrameStyle(QFrame::Panel | QFrame::Raised);
  TheColorButton->setLineWidth(2);
  TheColorButton->setAutoFillBackground(true);
  TheColorButton->setFixedSize(60, 22);
  TheColorButton->setCursor(Qt::PointingHandCursor);
  TheColorButton->setToolTip(QStringLiteral("Click to choose the colour"));
  TheColorButton->installEventFilter(this);
  colorsLayout->addWidget(TheColorButton, 1, 1);
  Button1 = new QPushButton(QStringLiteral("&Default colors"), colors);
  colorsLayout->addWidget(Button1, 1, 2);
  // Off: every subfolder in the "Pie - Normal Folder" colour.
  chkColorEachFolder = new QCheckBox(QStringLiteral("Colour each &folder"), colors);
  chkColorEachFolder->setObjectName(QStringLiteral("chkColorEachFolder"));
  chkColorEachFolder->setChecked(FolderColorsSetting().ColorEachFolder());
  colorsLayout->addWidget(chkColorEachFolder, 2, 0, 1, 3);
  grid->addWidget(colors, 0, 0, 2, 1);

  // Preferences.
  auto* preferences = new QGroupBox(QStringLiteral(" Preferences "), this);
  auto* prefLayout = new QVBoxLayout(preferences);
  chkIncludeWasted = new QCheckBox(QStringLiteral("Include &wasted space"), preferences);
  chkShowFileNames = new QCheckBox(QStringLiteral("Show file&names"), preferences);
  chkAutoExpand = new QCheckBox(QStringLiteral("Auto &Expand"), preferences);
  chkAutoCollapse = new QCheckBox(QStringLiteral("Auto &Collapse"), preferences);
  chkIncludeWasted->setChecked(values.IncludeWasted);
  chkShowFileNames->setChecked(values.ShowFileNames);
  chkAutoExpand->setChecked(values.AutoExpand);
  chkAutoCollapse->setChecked(values.AutoCollapse);
  for (QCheckBox* box : {chkIncludeWasted, chkShowFileNames, chkAutoExpand, chkAutoCollapse}) prefLayout->addWidget(box);
  grid->addWidget(preferences, 0, 1);

  // Pie.
  auto* pie = new QGroupBox(QStringLiteral(" Pie "), this);
  auto* pieLayout = new QGridLayout(pie);
  const char* captions[] = {"Show &files larger than", "Show folde&rs larger than", "Show &text near sections larger than"};
  QLineEdit** fields[] = {&ediMinFileSection, &ediMinFolderSection, &ediMinTextSection};
  const char* names[] = {"ediMinFileSection", "ediMinFolderSection", "ediMinTextSection"};
  for (int i = 0; i < OptionAngleCount; ++i) {
    auto* caption = new QLabel(QString::fromLatin1(captions[i]), pie);
    auto* edit = new QLineEdit(AngleToPercentText(values.Angles[static_cast<size_t>(i)], QLocale()), pie);
    edit->setObjectName(QString::fromLatin1(names[i]));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("100.0000")) + 12);
    edit->setMaximumWidth(edit->minimumWidth() + 20);
    caption->setBuddy(edit);
    *fields[i] = edit;
    pieLayout->addWidget(caption, i, 0);
    pieLayout->addWidget(edit, i, 1);
    pieLayout->addWidget(new QLabel(QStringLiteral("% of parent"), pie), i, 2);
  }
  cmdDefaultValues = new QPushButton(QStringLiteral("Default &values"), pie);
  pieLayout->addWidget(cmdDefaultValues, OptionAngleCount, 0, 1, 3, Qt::AlignRight);
  grid->addWidget(pie, 1, 1);

  // Drives scanned at start-up, and the verb.
  auto* drives = new QGroupBox(QStringLiteral(" Scan the following drives on &start-up "), this);
  auto* drivesLayout = new QVBoxLayout(drives);
  TheDrivesBox = new QListWidget(drives);
  TheDrivesBox->setObjectName(QStringLiteral("TheDrivesBox"));
  TheDrivesBox->setAccessibleName(QStringLiteral("Drives scanned on start-up"));
  TheDrivesBox->setUniformItemSizes(true);
  const QIcon driveIcon = QFileIconProvider().icon(QFileIconProvider::Drive);
  const std::optional<QString> ownPath = HostToDrive(QFile::encodeName(ProgramPath));
  const QChar ownLetter = ownPath && !ownPath->isEmpty() ? ownPath->at(0).toUpper() : QChar();
  for (const QChar letter : TDriveTable::Instance().Letters()) {
    // The text reads as every other drive list does ("/ (C:)"); the letter rides along as data.
    auto* item = new QListWidgetItem(driveIcon, DriveDisplayName(letter + QStringLiteral(":\\")), TheDrivesBox);
    item->setData(Qt::UserRole, QString(letter.toUpper()));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(values.DrivesToAutoScan.contains(letter, Qt::CaseInsensitive) ? Qt::Checked : Qt::Unchecked);
    if (letter.toUpper() == ownLetter) TheDrivesBox->setCurrentItem(item);
  }
  drivesLayout->addWidget(TheDrivesBox);
  grid->addWidget(drives, 2, 0);

  chkExplorerMenu = new QCheckBox(QStringLiteral("Korvane in the file manager's\n\"Open With\" menu for folders"), this);
  chkExplorerMenu->setObjectName(QStringLiteral("chkExplorerMenu"));
  // Unknown when the classes-root hive cannot be read: the box keeps its default, checked.
  chkExplorerMenu->setChecked(ShellVerbRegistered().value_or(true));
  grid->addWidget(chkExplorerMenu, 2, 1, Qt::AlignTop);

  // The scan history: where it is kept and whether every whole-drive scan adds to it.
  auto* history = new QGroupBox(QStringLiteral(" Scan &history "), this);
  auto* historyLayout = new QGridLayout(history);
  chkSaveSnapshotAfterScan = new QCheckBox(QStringLiteral("Save a snapshot after every scan of a whole drive"), history);
  chkSaveSnapshotAfterScan->setObjectName(QStringLiteral("chkSaveSnapshotAfterScan"));
  chkSaveSnapshotAfterScan->setChecked(settings_->SaveSnapshotAfterScan);
  historyLayout->addWidget(chkSaveSnapshotAfterScan, 0, 0, 1, 2);
  auto* storeCaption = new QLabel(QStringLiteral("St&ore:"), history);
  ediHistoryStore = new QLineEdit(settings_->HistoryStore, history);
  ediHistoryStore->setObjectName(QStringLiteral("ediHistoryStore"));
  ediHistoryStore->setPlaceholderText(QStringLiteral("the default file"));
  ediHistoryStore->setToolTip(QStringLiteral("Empty: %1 (or KORVANE_HISTORY when set).\n"
                                             "A file name, or postgresql://user@host/database for a server;\n"
                                             "the password comes from ~/.pgpass or PGPASSWORD, never from here.")
                                  .arg(DefaultHistoryPath()));
  storeCaption->setBuddy(ediHistoryStore);
  historyLayout->addWidget(storeCaption, 1, 0);
  historyLayout->addWidget(ediHistoryStore, 1, 1);
  historyLayout->setColumnStretch(1, 1);
  grid->addWidget(history, 3, 0, 1, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
  cmdHelp = new QPushButton(QStringLiteral("Help"), this);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  buttons->addWidget(cmdHelp);
  scroll->setWidget(content);
  outer->addWidget(scroll, 1);
  outer->addLayout(buttons);

  connect(lbColors, &QListWidget::currentRowChanged, this, [this] { lbColorsClick(); });
  connect(lbColors, &QListWidget::itemDoubleClicked, this, [this] { TheColorButtonClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(cmdDefaultValues, &QPushButton::clicked, this, [this] { cmdDefaultValuesClick(); });
  connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelpClick(); });
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });

  lbColors->setCurrentRow(0);
  PaintColorButton();
  CenterOverForm(owner, this);
}

QLineEdit* TOptionsBox::AngleField(int index) const {
  const std::array<QLineEdit*, OptionAngleCount> fields = {ediMinFileSection, ediMinFolderSection, ediMinTextSection};
  return fields[static_cast<size_t>(index)];
}

void TOptionsBox::PaintColorButton() {
  const int row = std::max(lbColors->currentRow(), 0);
  QPalette palette = TheColorButton->palette();
  palette.setColor(QPalette::Window, ColorToQColor(WorkColors[static_cast<size_t>(row)]));
  TheColorButton->setPalette(palette);
  TheColorButton->update();
}

void TOptionsBox::lbColorsClick() { PaintColorButton(); }

void TOptionsBox::TheColorButtonClick() {
  const int row = lbColors->currentRow();
  if (row < 0) return;
  const TColor initial = WorkColors[static_cast<size_t>(row)];
  std::optional<TColor> chosen;
  if (Picker()) {
    chosen = Picker()(initial);
  } else {
    const QColor color = QColorDialog::getColor(ColorToQColor(initial), this, QStringLiteral("Color"));
    if (color.isValid()) chosen = RgbToColor(color.red(), color.green(), color.blue());
  }
  if (!chosen) return;
  WorkColors[static_cast<size_t>(row)] = *chosen;
  PaintColorButton();
}

void TOptionsBox::Button1Click() {
  WorkColors = DefaultPieColors;
  PaintColorButton();
}

void TOptionsBox::cmdDefaultValuesClick() {
  const double defaults[] = {DefaultMinFileSectionAngle, DefaultMinFolderSectionAngle, DefaultMinTextSectionAngle};
  for (int i = 0; i < OptionAngleCount; ++i) AngleField(i)->setText(AngleToPercentText(defaults[i], QLocale()));
}

void TOptionsBox::cmdHelpClick() { ShowHelpContext(this, OptionsHelpContext); }

QString TOptionsBox::ListedLetters() const {
  QString letters;
  for (int i = 0; i < TheDrivesBox->count(); ++i) letters += TheDrivesBox->item(i)->data(Qt::UserRole).toString();
  return letters;
}

QString TOptionsBox::CheckedLetters() const {
  QString letters;
  for (int i = 0; i < TheDrivesBox->count(); ++i)
    if (TheDrivesBox->item(i)->checkState() == Qt::Checked) letters += TheDrivesBox->item(i)->data(Qt::UserRole).toString();
  return letters;
}

void TOptionsBox::cmdOKClick() {
  // Everything is checked first; a rejected value stores nothing, so Cancel afterwards leaves
  // every setting as it was.
  std::array<QString, OptionAngleCount> texts;
  for (int i = 0; i < OptionAngleCount; ++i) texts[static_cast<size_t>(i)] = AngleField(i)->text();
  const TAngleCheck check = CheckPercentTexts(texts, QLocale());
  if (!check.Angles) {
    TMessageRequest request;
    request.Parent = this;
    request.Caption = ProgramName;
    request.Icon = TMessageIcon::Error;
    request.Text = check.Message;
    ShowMessage(request);
    QLineEdit* field = AngleField(check.FailedField);
    field->setFocus();
    field->selectAll();
    return;
  }

  // A store name that cannot be used (a password in it, an unknown scheme) is said now.
  const QString store = ediHistoryStore->text().trimmed();
  if (!store.isEmpty()) {
    QString error;
    if (!ParseStoreLocation(store, &error)) {
      TMessageRequest request;
      request.Parent = this;
      request.Caption = ProgramName;
      request.Icon = TMessageIcon::Error;
      request.Text = QStringLiteral("The scan history's store cannot be used: ") + error;
      ShowMessage(request);
      ediHistoryStore->setFocus();
      ediHistoryStore->selectAll();
      return;
    }
  }

  if (chkExplorerMenu->isChecked()) {
    try {
      RegisterShellVerb(ProgramPath);
    } catch (const EShellVerbError& e) {
      ShowError(e.Message(), ekProgram, this);
      return;
    }
  } else {
    UnregisterShellVerb();
  }

  TOptionsValues values;
  values.Colors = WorkColors;
  values.IncludeWasted = chkIncludeWasted->isChecked();
  values.ShowFileNames = chkShowFileNames->isChecked();
  values.AutoExpand = chkAutoExpand->isChecked();
  values.AutoCollapse = chkAutoCollapse->isChecked();
  values.DrivesToAutoScan = MergeAutoScanLetters(settings_->DrivesToAutoScan, ListedLetters(), CheckedLetters());
  values.Angles = *check.Angles;
  StoreOptionsValues(values, settings_);
  settings_.Change([this, &store](TSettingValues& v) {
    v.SaveSnapshotAfterScan = chkSaveSnapshotAfterScan->isChecked();
    v.HistoryStore = store;
  });
  FolderColorsSetting().SetColorEachFolder(chkColorEachFolder->isChecked());
  Accepted = true;
  accept();
}

bool TOptionsBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TheColorButton) {
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      TheColorButton->setFrameShadow(QFrame::Sunken);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      TheColorButton->setFrameShadow(QFrame::Raised);
      if (TheColorButton->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) TheColorButtonClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
