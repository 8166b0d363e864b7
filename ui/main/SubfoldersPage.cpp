#include "ui/main/SubfoldersPage.h"

#include "config/FoldersDisplay.h"
#include "config/Options.h"
#include "history/TreeComparison.h"
#include "reports/SubfolderRows.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "ui/main/CurrentFolder.h"

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

const int Widths[TSubfoldersPage::ColumnCount] = {150, 80, 80, 80, 70, 70, 80, 80, 80, 130};
const QString Marker = QStringLiteral("-> ");
// Item data role of the packed date-time of the date columns.
constexpr int PackedRole = Qt::UserRole + 1;
// The figure a column sorts by (its text is rounded).
constexpr int FigureRole = Qt::UserRole + 2;
// The change in bytes of the Change column, by which it sorts (rows without one come last).
constexpr int ChangeRole = Qt::UserRole + 3;
// The sort code of the Change column and the one that stands for it where only the report's
// columns count (size, largest first).
constexpr int ChangeSortCode = TSubfoldersPage::colChange + 1;
constexpr int SizeDescendingCode = -(TSubfoldersPage::colSize + 1);

int ReportSortCode(int code) { return std::abs(code) == ChangeSortCode ? SizeDescendingCode : code; }

}  // namespace

TSubfoldersPage::TSubfoldersPage(IPageHost& host, QWidget* page, const QIcon& levelUpIcon) : QWidget(page), host_(host) {
  setObjectName(QStringLiteral("pageSubfoldersSupport"));
  // The sizes include the wasted space or not, as the setting says.
  connect(&host_.Settings(), &TSettings::Changed, this, [this](TSettingGroups groups) {
    if (!(groups & sgWasted)) return;
    Forget();
    host_.RefillIfCurrent(pgSubfolders);
  });
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
  cbFoldersDisplayType->setAccessibleName(QStringLiteral("Folders shown"));
  cbFoldersDisplayType->addItems({QStringLiteral("Top Large Folders"), QStringLiteral("Folders Larger Than"),
                                  QStringLiteral("All Folders")});
  cbFoldersDisplayType->setCurrentIndex(dtAll);
  headerLayout->addWidget(cbFoldersDisplayType);
  txtFoldersTop = new QLabel(QStringLiteral("Top"), header);
  txtFoldersTop->setObjectName(QStringLiteral("txtFoldersTop"));
  headerLayout->addWidget(txtFoldersTop);
  cbFoldersTop = new QComboBox(header);
  cbFoldersTop->setObjectName(QStringLiteral("cbFoldersTop"));
  cbFoldersTop->setAccessibleName(QStringLiteral("Number of top folders"));
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
  udFoldersLargerThan->setAccessibleName(QStringLiteral("Folders larger than"));
  udFoldersLargerThan->setRange(0, 32767);
  udFoldersLargerThan->setValue(0);
  ediFoldersLargerThan = udFoldersLargerThan->findChild<QLineEdit*>();
  ediFoldersLargerThan->setObjectName(QStringLiteral("ediFoldersLargerThan"));
  headerLayout->addWidget(udFoldersLargerThan);
  cbFoldersLargerThanBytes = new QComboBox(header);
  cbFoldersLargerThanBytes->setObjectName(QStringLiteral("cbFoldersLargerThanBytes"));
  cbFoldersLargerThanBytes->setAccessibleName(QStringLiteral("Unit of the size"));
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
  if (!levelUpIcon.isNull()) imgWebUpOneLevel->setPixmap(levelUpIcon.pixmap(QSize(16, 16), QIcon::Disabled));
  upLayout->addWidget(imgWebUpOneLevel);
  upLayout->addWidget(new QLabel(QStringLiteral("Up One Level"), panWebListLevelUp));
  panWebListLevelUp->installEventFilter(this);
  headerLayout->addWidget(panWebListLevelUp);
  layout->addWidget(header);

  TheFilesList = new QTreeWidget(this);
  TheFilesList->setObjectName(QStringLiteral("TheFilesList"));
  TheFilesList->setAccessibleName(QStringLiteral("Subfolders and files"));
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
    headerItem->setText(c, c < SubfolderColumnCount ? QLatin1String(SubfolderColumnCaptions[static_cast<size_t>(c)])
                                                    : QStringLiteral("Change"));
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
  TheFilesList->setColumnHidden(colChange, true);
  // Shown beside Size, where it is read with it; its number stays the last.
  TheFilesList->header()->moveSection(TheFilesList->header()->visualIndex(colChange), colSize + 1);
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

int TSubfoldersPage::SubfolderSort() const { return values_[4]; }

void TSubfoldersPage::SetSavedValues(const TFoldersDisplaySettings& values) {
  values_[0] = values.Type;
  values_[1] = values.TopX;
  values_[2] = values.LargerThan;
  values_[3] = values.LargerThanUnit;
  values_[4] = values.Sort;
  valuesRead_ = true;
}

TFoldersDisplaySettings TSubfoldersPage::SavedValues() const {
  TFoldersDisplaySettings values;
  values.Type = values_[0];
  values.TopX = values_[1];
  values.LargerThan = values_[2];
  values.LargerThanUnit = values_[3];
  values.Sort = ReportSortCode(values_[4]);
  return values;
}

TSubfolderView TSubfoldersPage::View() {
  ApplySettings();
  TSubfolderView view;
  view.DisplayType = cbFoldersDisplayType->currentIndex();
  view.TopText = cbFoldersTop->currentText();
  view.LargerThanUnit = cbFoldersLargerThanBytes->currentIndex();
  view.LargerThanText = QString::number(udFoldersLargerThan->value());
  view.Sort = ReportSortCode(SubfolderSort());
  return view;
}

void TSubfoldersPage::SetView(const TSubfolderView& view) {
  ApplySettings();
  applying_ = true;
  cbFoldersDisplayType->setCurrentIndex(CheckFoldersDisplayType(view.DisplayType));
  cbFoldersTop->setEditText(view.TopText);
  cbFoldersLargerThanBytes->setCurrentIndex(CheckFoldersDisplayLargerThanUnit(view.LargerThanUnit));
  // The box holds 0 to 32767; a text that is no number counts as 0, as the report's threshold does.
  udFoldersLargerThan->setValue(static_cast<int>(std::clamp<int64_t>(view.LargerThanText.trimmed().toLongLong(), 0, 32767)));
  values_[4] = CheckFoldersDisplaySort(view.Sort);
  applying_ = false;
  SetSortMarker(std::abs(SubfolderSort()) - 1);
  cbFoldersDisplayTypeChange();
}

void TSubfoldersPage::ApplySettings() {
  if (settingsApplied_ || !valuesRead_) return;
  settingsApplied_ = true;
  applying_ = true;
  const int32_t* v = values_;
  cbFoldersDisplayType->setCurrentIndex(CheckFoldersDisplayType(v[0]));
  cbFoldersTop->setEditText(QString::number(CheckFoldersDisplayTopX(v[1])));
  udFoldersLargerThan->setValue(CheckFoldersDisplayLargerThan(v[2]));
  cbFoldersLargerThanBytes->setCurrentIndex(CheckFoldersDisplayLargerThanUnit(v[3]));
  values_[4] = CheckFoldersDisplaySort(v[4]);
  applying_ = false;
  SetSortMarker(std::abs(SubfolderSort()) - 1);
  cbFoldersDisplayTypeChange();
}

void TSubfoldersPage::StoreSettings() {
  if (!settingsApplied_) return;
  values_[0] = cbFoldersDisplayType->currentIndex();
  values_[1] = CheckFoldersDisplayTopX(FoldersDisplayTopXFromText(cbFoldersTop->currentText()));
  values_[2] = udFoldersLargerThan->value();
  values_[3] = cbFoldersLargerThanBytes->currentIndex();
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

TSubfolderSettings TSubfoldersPage::CurrentSettings() const {
  TSubfolderSettings settings;
  settings.Display = cbFoldersDisplayType->currentIndex();
  // A Top text that is no number, or a negative one, counts as the default 10.
  settings.TopCount = CheckFoldersDisplayTopX(FoldersDisplayTopXFromText(cbFoldersTop->currentText()));
  settings.Threshold = Threshold();
  settings.IncludeWasted = host_.Settings()->IncludeWastedInformation;
  settings.ClusterIndex = host_.Session().SelectedClusterIndex();
  settings.Sort = ReportSortCode(SubfolderSort());
  return settings;
}

int64_t TSubfoldersPage::Threshold() const {
  if (cbFoldersDisplayType->currentIndex() != dtLargerThan) return 0;
  static constexpr int64_t Units[3] = {1, 1024, 1048576};
  const int unit = std::clamp(cbFoldersLargerThanBytes->currentIndex(), 0, 2);
  return int64_t{udFoldersLargerThan->value()} * Units[unit];
}

void TSubfoldersPage::FillSubfolderList(TTreeNode* node) {
  ApplySettings();
  if (listShownNode_ == node && node) return;
  listShownNode_ = node;
  pathText_ = host_.Current().Path();
  LayoutPage();
  panWebListLevelUp->setVisible(node && node->Parent());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TRestore {
    ~TRestore() { QApplication::restoreOverrideCursor(); }
  } restore;

  TheFilesList->clear();
  if (!node) return;
  const TSubfolderSettings settings = CurrentSettings();
  const TSubfolderList list = BuildSubfolderRows(node, settings);
  const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(list.Rows.size()));
  for (const TSubfolderRow& row : list.Rows) {
    auto* item = new QTreeWidgetItem;
    for (int c = 0; c < SubfolderColumnCount; ++c) item->setText(c, row.Texts[static_cast<size_t>(c)]);
    if (const TNodeChange* change = comparison_ ? comparison_->ChangeOf(row.Node) : nullptr) {
      const QString share = change->Mark == TChangeMark::New ? QStringLiteral("new")
                                                             : ChangePercentText(change->Delta, change->OldSize);
      item->setText(colChange, SignedSizeText(change->Delta) + QStringLiteral(" (") + share + QLatin1Char(')'));
      item->setData(colChange, ChangeRole, static_cast<qlonglong>(change->Delta));
    }
    item->setIcon(colName, folderIcon);
    item->setData(colLastAccess, PackedRole, row.LastAccess);
    item->setData(colLastChange, PackedRole, row.LastChange);
    for (int c = colSize; c < colLastAccess; ++c)
      item->setData(c, FigureRole, static_cast<qlonglong>(row.Figures[static_cast<size_t>(c)]));
    for (int c = colSize; c < ColumnCount; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    rows << item;
  }
  TheFilesList->addTopLevelItems(rows);
  if (SortedByChange()) SortRows();
  else values_[4] = list.Sort;
  SetSortMarker(std::abs(SubfolderSort()) - 1);
  if (settings.Display == dtTop) {
    const int32_t n = settings.TopCount;
    // While the user is typing in the box, the text is put right when the editing ends instead.
    if (!cbFoldersTop->hasFocus() && cbFoldersTop->currentText() != QString::number(n)) {
      const QSignalBlocker block(cbFoldersTop);
      cbFoldersTop->setEditText(QString::number(n));
    }
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
  if (std::abs(code) == ChangeSortCode) {
    const QVariant a = item1->data(colChange, ChangeRole);
    const QVariant b = item2->data(colChange, ChangeRole);
    if (!a.isValid() || !b.isValid()) return int(!a.isValid()) - int(!b.isValid());
    const qlonglong x = a.toLongLong();
    const qlonglong y = b.toLongLong();
    const int order = x < y ? -1 : x > y ? 1 : 0;
    return code < 0 ? -order : order;
  }
  const auto rowOf = [](const QTreeWidgetItem* item) {
    TSubfolderRow row;
    for (int c = 0; c < SubfolderColumnCount; ++c) row.Texts[static_cast<size_t>(c)] = item->text(c);
    row.LastAccess = item->data(colLastAccess, PackedRole).toUInt();
    row.LastChange = item->data(colLastChange, PackedRole).toUInt();
    for (int c = colSize; c < colLastAccess; ++c)
      row.Figures[static_cast<size_t>(c)] = item->data(c, FigureRole).toLongLong();
    return row;
  };
  return CompareSubfolderRows(rowOf(item1), rowOf(item2), code);
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

bool TSubfoldersPage::SortedByChange() const { return std::abs(values_[4]) == ChangeSortCode; }

void TSubfoldersPage::SetComparison(const TTreeComparison* comparison) {
  comparison_ = comparison;
  TheFilesList->setColumnHidden(colChange, !comparison);
  // Without a comparison the list goes back to its own order.
  if (!comparison && SortedByChange()) values_[4] = SizeDescendingCode;
  Forget();
  host_.RefillIfCurrent(pgSubfolders);
}

void TSubfoldersPage::TheFilesListColumnClick(int column) {
  if (column < 0 || column >= ColumnCount) return;
  SetSortMarker(column);
  int& sort = values_[4];
  // The first click on Change puts the largest growth first; the next one reverses it.
  if (column == colChange && std::abs(sort) != ChangeSortCode) sort = -ChangeSortCode;
  else sort = column + 1 == sort ? -sort : column + 1;
  SortRows();
}

void TSubfoldersPage::TheFilesListDblClick() {
  QTreeWidgetItem* item = TheFilesList->currentItem();
  TTreeNode* current = host_.Current().Node();
  if (!item || !item->isSelected() || !current) return;
  TTreeNode* child = FindChildNode(current, item->text(colName), false);
  if (child) host_.SelectNode(child);
}

void TSubfoldersPage::ShowRowMenu(QPoint pos) {
  QTreeWidgetItem* item = TheFilesList->currentItem();
  const TCurrentFolder& current = host_.Current();
  if (!item || !item->isSelected() || current.Path().isEmpty()) return;
  const QString name = item->text(colName);
  TTreeNode* child = current.Node() ? FindChildNode(current.Node(), name, true) : nullptr;
  const int64_t size = child && child->Data() ? child->Data()->TotalSize : 0;
  host_.ShowItemContextMenu(AddBackslash(current.Path()) + name, child, size, pos, TheFilesList->viewport());
}

void TSubfoldersPage::cbFoldersDisplayTypeChange() {
  const int type = cbFoldersDisplayType->currentIndex();
  txtFoldersTop->setVisible(type == dtTop);
  cbFoldersTop->setVisible(type == dtTop);
  udFoldersLargerThan->setVisible(type == dtLargerThan);
  cbFoldersLargerThanBytes->setVisible(type == dtLargerThan);
  if (applying_) return;
  StoreSettings();
  Forget();
  host_.RefillIfCurrent(pgSubfolders);
}

void TSubfoldersPage::ediFoldersLargerThanChange() {
  if (applying_) return;
  StoreSettings();
  Forget();
  host_.RefillIfCurrent(pgSubfolders);
}

void TSubfoldersPage::shapeWebUpOneLevelMouseUp() { host_.GoUpOneLevel(); }

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
