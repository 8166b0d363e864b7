#include "ui/main/SubfoldersPage.h"

#include "config/FoldersDisplay.h"
#include "config/Options.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

const char* const Captions[TSubfoldersPage::ColumnCount] = {"Name",    "Size",        "Allocated",  "Wasted",
                                                             "% of Parent", "Objects", "Last Access", "Last Change"};
const int Widths[TSubfoldersPage::ColumnCount] = {150, 80, 80, 80, 70, 70, 80, 80};
const QString Marker = QStringLiteral("-> ");
// Item data role of the packed date-time of the date columns.
constexpr int PackedRole = Qt::UserRole + 1;

QString KiloText(int64_t bytes) {
  return FormatCount64(static_cast<int64_t>(std::llround(static_cast<double>(bytes) / 1024.0))) + QStringLiteral(" KB");
}

// A packed DOS date-time as the locale's short date and long time; the time is left out at
// midnight, and a value that is zero or no real date gives an empty text.
QString PackedDateTimeText(uint32_t packed) {
  if (packed == 0) return {};
  const uint32_t dosDate = packed >> 16;
  const uint32_t dosTime = packed & 0xFFFF;
  const QDate date(static_cast<int>(1980 + (dosDate >> 9)), static_cast<int>((dosDate >> 5) & 0x0F),
                   static_cast<int>(dosDate & 0x1F));
  const QTime time(static_cast<int>(dosTime >> 11), static_cast<int>((dosTime >> 5) & 0x3F),
                   static_cast<int>((dosTime & 0x1F) * 2));
  if (!date.isValid() || !time.isValid()) return {};
  const QLocale locale;
  QString text = locale.toString(date, QLocale::ShortFormat);
  if (time != QTime(0, 0)) {
    // The long time form without the zone name.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(zone);
    text += QLatin1Char(' ') + locale.toString(time, format);
  }
  return text;
}

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

}  // namespace

TSubfoldersPage::TSubfoldersPage(TMainForm& form, QWidget* page) : QWidget(page), form_(form) {
  setObjectName(QStringLiteral("pageSubfoldersSupport"));
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // Header: the path, the mode controls and "Up One Level".
  auto* header = new QFrame(this);
  header->setObjectName(QStringLiteral("panWebFolderListPath"));
  header->setFrameShape(QFrame::Box);
  header->setAutoFillBackground(true);
  header->setBackgroundRole(QPalette::Base);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(6, 4, 4, 4);
  auto* pathBox = new QVBoxLayout;
  pathBox->setSpacing(0);
  pathBox->addWidget(new QLabel(QStringLiteral("Subfolders of"), header));
  txtWebFolderListPath = new QLabel(header);
  txtWebFolderListPath->setObjectName(QStringLiteral("txtWebFolderListPath"));
  txtWebFolderListPath->setMinimumWidth(40);
  txtWebFolderListPath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont bold = txtWebFolderListPath->font();
  bold.setBold(true);
  txtWebFolderListPath->setFont(bold);
  pathBox->addWidget(txtWebFolderListPath);
  headerLayout->addLayout(pathBox, 1);

  cbFoldersDisplayType = new QComboBox(header);
  cbFoldersDisplayType->setObjectName(QStringLiteral("cbFoldersDisplayType"));
  cbFoldersDisplayType->addItems({QStringLiteral("Top Large Folders"), QStringLiteral("Folders Larger Than"),
                                  QStringLiteral("All Folders")});
  cbFoldersDisplayType->setCurrentIndex(dtAll);
  headerLayout->addWidget(cbFoldersDisplayType);
  txtFoldersTop = new QLabel(QStringLiteral("Top"), header);
  txtFoldersTop->setObjectName(QStringLiteral("txtFoldersTop"));
  headerLayout->addWidget(txtFoldersTop);
  cbFoldersTop = new QComboBox(header);
  cbFoldersTop->setObjectName(QStringLiteral("cbFoldersTop"));
  cbFoldersTop->setEditable(true);
  cbFoldersTop->setInsertPolicy(QComboBox::NoInsert);
  cbFoldersTop->addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("20"),
                          QStringLiteral("25"), QStringLiteral("50"), QStringLiteral("75"), QStringLiteral("100"),
                          QStringLiteral("250"), QStringLiteral("500"), QStringLiteral("1000")});
  cbFoldersTop->setEditText(QStringLiteral("10"));
  cbFoldersTop->setMinimumContentsLength(4);
  headerLayout->addWidget(cbFoldersTop);
  // The threshold: the spin box's own edit takes digits only and stays within 0..32767.
  udFoldersLargerThan = new QSpinBox(header);
  udFoldersLargerThan->setObjectName(QStringLiteral("udFoldersLargerThan"));
  udFoldersLargerThan->setRange(0, 32767);
  udFoldersLargerThan->setValue(0);
  ediFoldersLargerThan = udFoldersLargerThan->findChild<QLineEdit*>();
  ediFoldersLargerThan->setObjectName(QStringLiteral("ediFoldersLargerThan"));
  headerLayout->addWidget(udFoldersLargerThan);
  cbFoldersLargerThanBytes = new QComboBox(header);
  cbFoldersLargerThanBytes->setObjectName(QStringLiteral("cbFoldersLargerThanBytes"));
  cbFoldersLargerThanBytes->addItems({QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB")});
  cbFoldersLargerThanBytes->setCurrentIndex(0);
  headerLayout->addWidget(cbFoldersLargerThanBytes);

  panWebListLevelUp = new QWidget(header);
  panWebListLevelUp->setObjectName(QStringLiteral("panWebListLevelUp"));
  // 89 pixels wide, or as wide as its caption needs in the system font.
  panWebListLevelUp->setMinimumWidth(89);
  panWebListLevelUp->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  panWebListLevelUp->setCursor(Qt::PointingHandCursor);
  auto* upLayout = new QHBoxLayout(panWebListLevelUp);
  upLayout->setContentsMargins(2, 0, 2, 0);
  imgWebUpOneLevel = new QLabel(panWebListLevelUp);
  imgWebUpOneLevel->setObjectName(QStringLiteral("imgWebUpOneLevel"));
  // The toolbar's arrow in its greyed drawing, as the panel has always shown it.
  if (form_.toolLevelUp) imgWebUpOneLevel->setPixmap(form_.toolLevelUp->icon().pixmap(QSize(16, 16), QIcon::Disabled));
  upLayout->addWidget(imgWebUpOneLevel);
  upLayout->addWidget(new QLabel(QStringLiteral("Up One Level"), panWebListLevelUp));
  panWebListLevelUp->installEventFilter(this);
  headerLayout->addWidget(panWebListLevelUp);
  layout->addWidget(header);

  TheFilesList = new QTreeWidget(this);
  TheFilesList->setObjectName(QStringLiteral("TheFilesList"));
  TheFilesList->setColumnCount(ColumnCount);
  TheFilesList->setRootIsDecorated(false);
  TheFilesList->setUniformRowHeights(true);
  TheFilesList->setSortingEnabled(false);
  TheFilesList->setSelectionBehavior(QAbstractItemView::SelectRows);
  TheFilesList->setSelectionMode(QAbstractItemView::SingleSelection);
  TheFilesList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TheFilesList->setAllColumnsShowFocus(true);
  TheFilesList->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(midlight); "
                                             "border-bottom: 1px solid palette(midlight); }"));
  QTreeWidgetItem* headerItem = TheFilesList->headerItem();
  for (int c = 0; c < ColumnCount; ++c) {
    headerItem->setText(c, QLatin1String(Captions[c]));
    headerItem->setTextAlignment(c, c == colName ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
    TheFilesList->setColumnWidth(c, Widths[c]);
  }
  // A date with its time does not fit 80 pixels in the desktop's font: the date columns get the
  // width of a long sample in the list's own font: 12/28/2026 10:58:58 PM as a packed DOS
  // date-time (years since 1980, month, day; hours, minutes, seconds / 2).
  const uint32_t sample = (uint32_t{46} << 25 | uint32_t{12} << 21 | uint32_t{28} << 16) |
                          (uint32_t{22} << 11 | uint32_t{58} << 5 | uint32_t{29});
  const int dateWidth = TheFilesList->fontMetrics().horizontalAdvance(PackedDateTimeText(sample)) + 16;
  for (int c : {int(colLastAccess), int(colLastChange)}) TheFilesList->setColumnWidth(c, std::max(Widths[c], dateWidth));
  TheFilesList->header()->setSectionsClickable(true);
  TheFilesList->header()->setStretchLastSection(false);
  TheFilesList->viewport()->installEventFilter(this);
  layout->addWidget(TheFilesList, 1);

  connect(TheFilesList->header(), &QHeaderView::sectionClicked, this, [this](int c) { TheFilesListColumnClick(c); });
  connect(TheFilesList, &QTreeWidget::itemDoubleClicked, this, [this] { TheFilesListDblClick(); });
  connect(cbFoldersDisplayType, &QComboBox::currentIndexChanged, this, [this] { cbFoldersDisplayTypeChange(); });
  connect(cbFoldersTop, &QComboBox::editTextChanged, this, [this] { ediFoldersLargerThanChange(); });
  connect(cbFoldersTop->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    const int32_t n = CheckFoldersDisplayTopX(FoldersDisplayTopXFromText(cbFoldersTop->currentText()));
    if (cbFoldersTop->currentText() != QString::number(n)) cbFoldersTop->setEditText(QString::number(n));
  });
  connect(udFoldersLargerThan, &QSpinBox::valueChanged, this, [this] { ediFoldersLargerThanChange(); });
  connect(cbFoldersLargerThanBytes, &QComboBox::currentIndexChanged, this, [this] { ediFoldersLargerThanChange(); });

  // Until the saved values come: the defaults' visibility.
  txtFoldersTop->setVisible(false);
  cbFoldersTop->setVisible(false);
  udFoldersLargerThan->setVisible(false);
  cbFoldersLargerThanBytes->setVisible(false);
  // The main window reads the saved values right after building its layout.
  QMetaObject::invokeMethod(this, [this] { ApplySettings(); }, Qt::QueuedConnection);
}

int TSubfoldersPage::SubfolderSort() const { return form_.foldersDisplay_[4]; }

void TSubfoldersPage::ApplySettings() {
  if (settingsApplied_ || !form_.foldersDisplayRead_) return;
  settingsApplied_ = true;
  applying_ = true;
  const int32_t* v = form_.foldersDisplay_;
  cbFoldersDisplayType->setCurrentIndex(CheckFoldersDisplayType(v[0]));
  cbFoldersTop->setEditText(QString::number(CheckFoldersDisplayTopX(v[1])));
  udFoldersLargerThan->setValue(CheckFoldersDisplayLargerThan(v[2]));
  cbFoldersLargerThanBytes->setCurrentIndex(CheckFoldersDisplayLargerThanUnit(v[3]));
  form_.foldersDisplay_[4] = CheckFoldersDisplaySort(v[4]);
  applying_ = false;
  SetSortMarker(std::abs(SubfolderSort()) - 1);
  cbFoldersDisplayTypeChange();
}

void TSubfoldersPage::StoreSettings() {
  if (!settingsApplied_) return;
  form_.foldersDisplay_[0] = cbFoldersDisplayType->currentIndex();
  form_.foldersDisplay_[1] = CheckFoldersDisplayTopX(FoldersDisplayTopXFromText(cbFoldersTop->currentText()));
  form_.foldersDisplay_[2] = udFoldersLargerThan->value();
  form_.foldersDisplay_[3] = cbFoldersLargerThanBytes->currentIndex();
}

void TSubfoldersPage::showEvent(QShowEvent* e) {
  ApplySettings();
  QWidget::showEvent(e);
}

void TSubfoldersPage::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  LayoutPage();
}

void TSubfoldersPage::LayoutPage() {
  const int width = std::max(txtWebFolderListPath->width(), 40);
  txtWebFolderListPath->setText(txtWebFolderListPath->fontMetrics().elidedText(pathText_, Qt::ElideMiddle, width));
}

int64_t TSubfoldersPage::Threshold() const {
  if (cbFoldersDisplayType->currentIndex() != dtLargerThan) return 0;
  static constexpr int64_t Units[3] = {1, 1024, 1048576};
  const int unit = std::clamp(cbFoldersLargerThanBytes->currentIndex(), 0, 2);
  return int64_t{udFoldersLargerThan->value()} * Units[unit];
}

void TSubfoldersPage::FillSubfolderList(TTreeNode* node) {
  ApplySettings();
  if (form_.ListShownNode == node && node) return;
  form_.ListShownNode = node;
  pathText_ = form_.CurrentPath;
  LayoutPage();
  panWebListLevelUp->setVisible(node && node->Parent());
  const int64_t threshold = Threshold();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;

  TheFilesList->clear();
  if (!node) return;
  const TFolderSize* parentRec = node->Data();
  const bool withWasted = IncludeWastedInformation && IncludeWastedInformation->Value;
  const int64_t reference = parentRec ? parentRec->TotalSize + (withWasted ? SelectedTotalWasted(*parentRec) : 0) : 0;
  const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
  QList<QTreeWidgetItem*> rows;
  rows.reserve(parentRec ? parentRec->Folders : 0);
  for (int i = 0; i < node->Count(); ++i) {
    const TTreeNode* child = node->Child(i);
    const TFolderSize* rec = child->Data();
    // A subfolder whose scan did not complete has no figures to list.
    if (!rec) continue;
    const int64_t wasted = SelectedTotalWasted(*rec);
    const int64_t value = rec->TotalSize + (withWasted ? wasted : 0);
    if (value < threshold) continue;
    auto* item = new QTreeWidgetItem;
    item->setText(colName, child->Text());
    item->setIcon(colName, folderIcon);
    item->setText(colSize, KiloText(rec->TotalSize));
    item->setText(colAllocated, KiloText(rec->TotalSize + wasted));
    item->setText(colWasted, KiloText(wasted));
    const double share = reference == 0 ? 0.0 : static_cast<double>(value) * 100.0 / static_cast<double>(reference);
    item->setText(colShare, QLocale().toString(share, 'f', 2) + QStringLiteral(" %"));
    item->setText(colObjects, FormatCount64(int64_t{rec->TotalFiles} + rec->TotalFolders));
    const uint32_t access = PackedDosDateTime(rec->LastAccess);
    const uint32_t change = PackedDosDateTime(rec->LastChange);
    item->setData(colLastAccess, PackedRole, access);
    item->setData(colLastChange, PackedRole, change);
    item->setText(colLastAccess, PackedDateTimeText(access));
    item->setText(colLastChange, PackedDateTimeText(change));
    for (int c = colSize; c < ColumnCount; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    rows << item;
  }
  TheFilesList->addTopLevelItems(rows);

  const int type = cbFoldersDisplayType->currentIndex();
  if (type == dtTop || type == dtLargerThan) form_.foldersDisplay_[4] = withWasted ? -3 : -2;
  SetSortMarker(std::abs(SubfolderSort()) - 1);
  SortRows();
  if (type == dtTop) {
    // A Top text that is no number, or a negative one, counts as the default 10.
    const int32_t n = CheckFoldersDisplayTopX(FoldersDisplayTopXFromText(cbFoldersTop->currentText()));
    // While the user is typing in the box, the text is put right when the editing ends instead.
    if (!cbFoldersTop->hasFocus() && cbFoldersTop->currentText() != QString::number(n)) {
      const QSignalBlocker block(cbFoldersTop);
      cbFoldersTop->setEditText(QString::number(n));
    }
    while (TheFilesList->topLevelItemCount() > n) delete TheFilesList->takeTopLevelItem(TheFilesList->topLevelItemCount() - 1);
  }
  StoreSettings();
}

void TSubfoldersPage::SetSortMarker(int column) {
  QTreeWidgetItem* header = TheFilesList->headerItem();
  for (int c = 0; c < ColumnCount; ++c) {
    const QString caption = header->text(c);
    if (caption.startsWith(QLatin1Char('-'))) header->setText(c, caption.mid(3));
  }
  if (column >= 0 && column < ColumnCount) header->setText(column, Marker + header->text(column));
}

int TSubfoldersPage::TheFilesListCompare(const QTreeWidgetItem* item1, const QTreeWidgetItem* item2, int code) {
  const int c = std::abs(code);
  int result = 0;
  if (c == 1) {
    result = Sign(QString::localeAwareCompare(item1->text(colName), item2->text(colName)));
  } else if (c >= 2 && c <= 6) {
    // Figures compare by the length of their text first: a longer number is a larger one.
    const QString a = item1->text(c - 1);
    const QString b = item2->text(c - 1);
    result = a.size() != b.size() ? Sign(a.size() - b.size())
                                  : Sign(QString::localeAwareCompare(a.toLower(), b.toLower()));
  } else if (c == 7 || c == 8) {
    const int column = c == 7 ? colLastAccess : colLastChange;
    result = Sign(int64_t{item1->data(column, PackedRole).toUInt()} - int64_t{item2->data(column, PackedRole).toUInt()});
  }
  return code < 0 ? -result : result;
}

void TSubfoldersPage::SortRows() {
  const int code = SubfolderSort();
  QList<QTreeWidgetItem*> rows;
  while (TheFilesList->topLevelItemCount() > 0) rows << TheFilesList->takeTopLevelItem(0);
  std::stable_sort(rows.begin(), rows.end(), [code](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return TheFilesListCompare(a, b, code) < 0;
  });
  TheFilesList->addTopLevelItems(rows);
}

void TSubfoldersPage::TheFilesListColumnClick(int column) {
  if (column < 0 || column >= ColumnCount) return;
  SetSortMarker(column);
  int& sort = form_.foldersDisplay_[4];
  sort = column + 1 == sort ? -sort : column + 1;
  SortRows();
}

void TSubfoldersPage::TheFilesListDblClick() {
  QTreeWidgetItem* item = TheFilesList->currentItem();
  if (!item || !item->isSelected() || !form_.CurrentNode) return;
  TTreeNode* child = FindChildNode(form_.CurrentNode, item->text(colName), false);
  if (child) form_.SelectNode(child);
}

void TSubfoldersPage::ShowRowMenu(QPoint pos) {
  QTreeWidgetItem* item = TheFilesList->currentItem();
  if (!item || !item->isSelected() || form_.CurrentPath.isEmpty()) return;
  const QString name = item->text(colName);
  TTreeNode* child = form_.CurrentNode ? FindChildNode(form_.CurrentNode, name, true) : nullptr;
  const int64_t size = child && child->Data() ? child->Data()->TotalSize : 0;
  form_.ShowItemContextMenu(AddBackslash(form_.CurrentPath) + name, child, size, pos, TheFilesList->viewport());
}

void TSubfoldersPage::cbFoldersDisplayTypeChange() {
  const int type = cbFoldersDisplayType->currentIndex();
  txtFoldersTop->setVisible(type == dtTop);
  cbFoldersTop->setVisible(type == dtTop);
  udFoldersLargerThan->setVisible(type == dtLargerThan);
  cbFoldersLargerThanBytes->setVisible(type == dtLargerThan);
  if (applying_) return;
  StoreSettings();
  form_.InvalidateList(form_.CurrentPage == 2);
}

void TSubfoldersPage::ediFoldersLargerThanChange() {
  if (applying_) return;
  StoreSettings();
  form_.InvalidateList(form_.CurrentPage == 2);
}

void TSubfoldersPage::shapeWebUpOneLevelMouseUp() { form_.toolLevelUpClick(); }

bool TSubfoldersPage::eventFilter(QObject* watched, QEvent* e) {
  if (watched == panWebListLevelUp && e->type() == QEvent::MouseButtonRelease) {
    shapeWebUpOneLevelMouseUp();
    return true;
  }
  if (watched == TheFilesList->viewport() && e->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(e)->button() == Qt::RightButton) {
    const QPoint pos = static_cast<QMouseEvent*>(e)->position().toPoint();
    if (QTreeWidgetItem* item = TheFilesList->itemAt(pos)) TheFilesList->setCurrentItem(item);
    ShowRowMenu(pos);
    return true;
  }
  return QWidget::eventFilter(watched, e);
}
