#include "ui/main/FolderInfoPage.h"

#include "platform/DirEnum.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"
#include "shell/ItemProp.h"
#include "ui/main/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QFileIconProvider>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFont ArialFont(int points, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

// A horizontal line of two pixels, as the bottom edge of the header and of the figures block.
QFrame* BottomLine(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setLineWidth(1);
  line->setFixedHeight(2);
  return line;
}

QString FlagText(uint32_t attributes, uint32_t flag, const char* word) {
  return (attributes & flag ? QStringLiteral("The folder contains ") : QStringLiteral("No ")) + QLatin1String(word) +
         QStringLiteral(" files");
}

QString TimeText(uint64_t fileTime) {
  return IsZeroFileTime(fileTime) ? QStringLiteral("(unknown)") : FormatFileTime(fileTime);
}

QString ObjectsHint(int32_t files, int32_t folders) {
  return FormatCount(files) + QStringLiteral(" file(s) and ") + FormatCount(folders) + QStringLiteral(" subfolder(s)");
}

void SetFigure(QLabel* label, const QString& text, const QString& hint) {
  label->setText(text);
  label->setToolTip(hint);
}

}  // namespace

TFolderInfoPage::TFolderInfoPage(TMainForm& form, QWidget* page) : QWidget(page), form_(form) {
  setObjectName(QStringLiteral("panWebFolderInfoSupport"));
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(this);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  // Header: icon, type and path, and the tree bar chart button on the right.
  panWebFolderInfoPath = new QWidget(this);
  panWebFolderInfoPath->setObjectName(QStringLiteral("panWebFolderInfoPath"));
  panWebFolderInfoPath->setFixedHeight(39);
  imgWebFolderInfo = new QLabel(panWebFolderInfoPath);
  imgWebFolderInfo->setObjectName(QStringLiteral("imgWebFolderInfo"));
  imgWebFolderInfo->setGeometry(6, 4, 32, 32);
  imgWebFolderInfo->setCursor(Qt::PointingHandCursor);
  imgWebFolderInfo->setToolTip(QStringLiteral("Click to display item properties"));
  imgWebFolderInfo->installEventFilter(this);
  txtWebFolderInfoType = new QLabel(panWebFolderInfoPath);
  txtWebFolderInfoType->setObjectName(QStringLiteral("txtWebFolderInfoType"));
  txtWebFolderInfoType->setFont(ArialFont(10));
  txtWebFolderInfoType->move(45, 4);
  txtWebFolderInfoPath = new QLabel(panWebFolderInfoPath);
  txtWebFolderInfoPath->setObjectName(QStringLiteral("txtWebFolderInfoPath"));
  txtWebFolderInfoPath->setFont(ArialFont(10));
  txtWebFolderInfoPath->move(46, 20);
  imgTreeBarChart = new QLabel(panWebFolderInfoPath);
  imgTreeBarChart->setObjectName(QStringLiteral("imgTreeBarChart"));
  imgTreeBarChart->setCursor(Qt::PointingHandCursor);
  imgTreeBarChart->setToolTip(QStringLiteral("Tree Bar Chart"));
  imgTreeBarChart->setStatusTip(
      QStringLiteral("Displays the Tree Bar Chart Window, that helps you quickly find large folders (hogs)."));
  imgTreeBarChart->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(24, 24));
  imgTreeBarChart->resize(24, 24);
  imgTreeBarChart->installEventFilter(this);
  layout->addWidget(panWebFolderInfoPath);
  layout->addWidget(BottomLine(this));

  // Figures: the whole tree on the left, the folder alone on the right.
  panWebFolderInfoSizeSupport = new QWidget(this);
  panWebFolderInfoSizeSupport->setObjectName(QStringLiteral("panWebFolderInfoSizeSupport"));
  panWebFolderInfoSizeSupport->setFixedHeight(110);
  auto* centring = new QHBoxLayout(panWebFolderInfoSizeSupport);
  centring->setContentsMargins(0, 0, 0, 0);
  panWebFolderInfoSizeSupport2 = new QWidget(panWebFolderInfoSizeSupport);
  panWebFolderInfoSizeSupport2->setObjectName(QStringLiteral("panWebFolderInfoSizeSupport2"));
  panWebFolderInfoSizeSupport2->setFixedSize(345, 110);
  centring->addStretch(1);
  centring->addWidget(panWebFolderInfoSizeSupport2);
  centring->addStretch(1);
  QLabel** values[2][4] = {
      {&txtWebTreeInfoSize, &txtWebTreeInfoAllocated, &txtWebTreeInfoWasted, &txtWebTreeInfoObjects},
      {&txtWebFolderInfoSize, &txtWebFolderInfoAllocated, &txtWebFolderInfoWasted, &txtWebFolderInfoObjects}};
  const char* names[2][4] = {
      {"txtWebTreeInfoSize", "txtWebTreeInfoAllocated", "txtWebTreeInfoWasted", "txtWebTreeInfoObjects"},
      {"txtWebFolderInfoSize", "txtWebFolderInfoAllocated", "txtWebFolderInfoWasted", "txtWebFolderInfoObjects"}};
  const QString titles[2] = {QStringLiteral("Tree (Folder + Subfolders)"), QStringLiteral("Folder")};
  const QString captions[4] = {QStringLiteral("Size:"), QStringLiteral("Allocated:"), QStringLiteral("Wasted:"),
                               QStringLiteral("Objects:")};
  const int rows[4] = {31, 49, 67, 85};
  for (int col = 0; col < 2; ++col) {
    const int left = col == 0 ? 0 : 176;
    auto* title = new QLabel(titles[col], panWebFolderInfoSizeSupport2);
    title->setFont(ArialFont(9, true));
    title->setGeometry(left + 4, 8, 165, 18);
    for (int r = 0; r < 4; ++r) {
      auto* caption = new QLabel(captions[r], panWebFolderInfoSizeSupport2);
      caption->setFont(ArialFont(9));
      caption->setGeometry(left + 4, rows[r], 62, 18);
      auto* value = new QLabel(panWebFolderInfoSizeSupport2);
      value->setObjectName(QLatin1String(names[col][r]));
      value->setFont(ArialFont(10, true));
      QPalette pal = value->palette();
      pal.setColor(QPalette::WindowText, Qt::black);
      value->setPalette(pal);
      value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      value->setGeometry(left + 66, rows[r], 88, 18);
      value->setCursor(Qt::PointingHandCursor);
      *values[col][r] = value;
    }
  }
  layout->addWidget(panWebFolderInfoSizeSupport);
  layout->addWidget(BottomLine(this));

  // Grid of names, dates and attributes.
  gridFolderInfo = new QTableWidget(RowCount, 2, this);
  gridFolderInfo->setObjectName(QStringLiteral("gridFolderInfo"));
  gridFolderInfo->setFrameShape(QFrame::NoFrame);
  gridFolderInfo->horizontalHeader()->hide();
  gridFolderInfo->verticalHeader()->hide();
  gridFolderInfo->setSelectionBehavior(QAbstractItemView::SelectRows);
  gridFolderInfo->setSelectionMode(QAbstractItemView::SingleSelection);
  gridFolderInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridFolderInfo->setColumnWidth(0, 110);
  const int rowHeight = gridFolderInfo->fontMetrics().height() + 4;
  gridFolderInfo->verticalHeader()->setDefaultSectionSize(rowHeight);
  gridFolderInfo->verticalHeader()->setMinimumSectionSize(rowHeight);
  const char* labels[RowCount] = {"Long name",       "MS-DOS name", "Last access date", "Last change date",
                                  "Creation date",   "Attributes",  "",                 "Read-Only files",
                                  "Hidden files",    "System files", "Compressed files"};
  for (int r = 0; r < RowCount; ++r) {
    gridFolderInfo->setItem(r, 0, new QTableWidgetItem(QLatin1String(labels[r])));
    gridFolderInfo->setItem(r, 1, new QTableWidgetItem);
  }
  // 110 pixels, or wider when a label would not fit in the system font.
  int labelWidth = 110;
  for (const char* label : labels)
    labelWidth = std::max(labelWidth, gridFolderInfo->fontMetrics().horizontalAdvance(QLatin1String(label)) + 12);
  gridFolderInfo->setColumnWidth(0, labelWidth);
  layout->addWidget(gridFolderInfo, 1);
}

QString TFolderInfoPage::Value(int row) const { return gridFolderInfo->item(row, 1)->text(); }

void TFolderInfoPage::LayoutPage() {
  const int right = panWebFolderInfoPath->width() - imgTreeBarChart->width() - 8;
  imgTreeBarChart->move(std::max(right, 0), (panWebFolderInfoPath->height() - imgTreeBarChart->height()) / 2);
  const int textWidth = std::max(right - 46 - 4, 0);
  txtWebFolderInfoType->resize(textWidth, 16);
  txtWebFolderInfoPath->resize(textWidth, 16);
  txtWebFolderInfoPath->setText(txtWebFolderInfoPath->fontMetrics().elidedText(pathText_, Qt::ElideMiddle, textWidth));
  gridFolderInfo->setColumnWidth(1, std::max(gridFolderInfo->viewport()->width() - gridFolderInfo->columnWidth(0), 0));
}

void TFolderInfoPage::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  LayoutPage();
}

void TFolderInfoPage::FillFolderInfo(TTreeNode* node) {
  const QString& path = form_.CurrentPath;
  const bool root = IsDriveRoot(path);
  if (form_.InfoShownPath != path || !node || !node->Data()) {
    // The path label of a folder is its path; a drive root's is the drive's display name.
    if (!root) pathText_ = path;
  }
  LayoutPage();
  if (path == form_.InfoShownPath || !node || !node->Data()) return;
  form_.InfoShownPath = path;
  const TFolderSize& rec = *node->Data();

  const QString displayName = DriveDisplayName(path);
  QFileIconProvider icons;
  if (root) {
    txtWebFolderInfoType->setText(QStringLiteral("Root Folder of Drive"));
    pathText_ = displayName;
  } else {
    txtWebFolderInfoType->setText(QStringLiteral("File Folder"));
  }
  LayoutPage();
  QPixmap picture(32, 32);
  picture.fill(palette().color(QPalette::Base));
  {
    QPainter painter(&picture);
    icons.icon(root ? QFileIconProvider::Drive : QFileIconProvider::Folder).paint(&painter, 0, 0, 32, 32);
  }
  imgWebFolderInfo->setPixmap(picture);

  // The folder's own entry: a drive root has none to find.
  TFindData entry;
  const bool found = !root && FindEntry(RemoveBackslash(path), entry);

  for (int r = 0; r < RowCount; ++r) gridFolderInfo->item(r, 1)->setText(QString());
  for (int r : {rowLastAccess, rowLastChange, rowCreation}) gridFolderInfo->item(r, 1)->setText(QStringLiteral("(unknown)"));
  auto set = [this](int row, const QString& text) { gridFolderInfo->item(row, 1)->setText(text); };
  set(rowLongName, displayName);
  // The file systems here keep no separate short name: the long name in capitals stands for it.
  set(rowShortName, found ? displayName.toUpper() : QString());
  set(rowLastAccess, TimeText(rec.LastAccess));
  set(rowLastChange, TimeText(rec.LastChange));
  if (found) {
    set(rowCreation, TimeText(entry.CreationTime));
    set(rowAttributes, AttributesText(entry.Attributes));
  }
  set(rowReadOnly, FlagText(rec.Attributes, 0x01, "Read-Only"));
  set(rowHidden, FlagText(rec.Attributes, 0x02, "Hidden"));
  set(rowSystem, FlagText(rec.Attributes, 0x04, "System"));
  set(rowCompressed, FlagText(rec.Attributes, 0x800, "Compressed"));

  const int64_t totalWasted = SelectedTotalWasted(rec);
  const int64_t filesWasted = SelectedFilesWasted(rec);
  SetFigure(txtWebTreeInfoSize, FormatSize(rec.TotalSize), FormatBytes(rec.TotalSize));
  SetFigure(txtWebTreeInfoAllocated, FormatSize(rec.TotalSize + totalWasted), FormatBytes(rec.TotalSize + totalWasted));
  SetFigure(txtWebTreeInfoWasted, FormatSize(totalWasted), FormatBytes(totalWasted));
  SetFigure(txtWebTreeInfoObjects, FormatCount64(int64_t{rec.TotalFiles} + rec.TotalFolders),
            ObjectsHint(rec.TotalFiles, rec.TotalFolders));
  SetFigure(txtWebFolderInfoSize, FormatSize(rec.FilesSize), FormatBytes(rec.FilesSize));
  SetFigure(txtWebFolderInfoAllocated, FormatSize(rec.FilesSize + filesWasted), FormatBytes(rec.FilesSize + filesWasted));
  SetFigure(txtWebFolderInfoWasted, FormatSize(filesWasted), FormatBytes(filesWasted));
  SetFigure(txtWebFolderInfoObjects, FormatCount64(int64_t{rec.Files} + rec.Folders), ObjectsHint(rec.Files, rec.Folders));
}

void TFolderInfoPage::imgWebFolderInfoClick() {
  if (form_.CurrentPath.isEmpty()) return;
  const TFolderSize* known = form_.CurrentNode ? form_.CurrentNode->Data() : nullptr;
  RunShellCommand(TShellCommand::Properties, form_.CurrentPath, &form_, known);
}

bool TFolderInfoPage::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    if (watched == imgWebFolderInfo) {
      imgWebFolderInfoClick();
      return true;
    }
    if (watched == imgTreeBarChart) {
      if (form_.cmdViewTreeBarChart) form_.cmdViewTreeBarChart->trigger();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}
