#include "ui/main/FolderInfoPage.h"

#include "reports/FolderInfoRows.h"

#include "platform/DirEnum.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "scan/VolumeInfo.h"
#include "cleanup/ui/ItemMenu.h"
#include "ui/main/CurrentFolder.h"

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

void SetFigure(QLabel* label, const QString& text, const QString& hint) {
  label->setText(text);
  label->setToolTip(hint);
}

}  // namespace

TFolderInfoPage::TFolderInfoPage(IPageHost& host, QWidget* page) : QWidget(page), host_(host) {
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
  panWebFolderInfoSizeSupport->setFixedHeight(128);
  auto* centring = new QHBoxLayout(panWebFolderInfoSizeSupport);
  centring->setContentsMargins(0, 0, 0, 0);
  panWebFolderInfoSizeSupport2 = new QWidget(panWebFolderInfoSizeSupport);
  panWebFolderInfoSizeSupport2->setObjectName(QStringLiteral("panWebFolderInfoSizeSupport2"));
  panWebFolderInfoSizeSupport2->setFixedSize(345, 128);
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
      // The page is drawn on the palette's Base colour.
      value->setForegroundRole(QPalette::Text);
      value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      value->setGeometry(left + 66, rows[r], 88, 18);
      value->setCursor(Qt::PointingHandCursor);
      *values[col][r] = value;
    }
    // The blocks the files really occupy, below the figures of the cluster sizes.
    auto* caption = new QLabel(QLatin1String(FolderInfoOnDiskLabel) + QLatin1Char(':'), panWebFolderInfoSizeSupport2);
    caption->setFont(ArialFont(9));
    caption->setGeometry(left + 4, 103, 62, 18);
    auto* value = new QLabel(panWebFolderInfoSizeSupport2);
    value->setObjectName(QLatin1String(col == 0 ? "txtWebTreeInfoOnDisk" : "txtWebFolderInfoOnDisk"));
    value->setFont(ArialFont(10, true));
    value->setForegroundRole(QPalette::Text);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setGeometry(left + 66, 103, 88, 18);
    (col == 0 ? txtWebTreeInfoOnDisk : txtWebFolderInfoOnDisk) = value;
  }
  layout->addWidget(panWebFolderInfoSizeSupport);
  layout->addWidget(BottomLine(this));

  // Grid of names, dates and attributes.
  gridFolderInfo = new QTableWidget(RowCount, 2, this);
  gridFolderInfo->setObjectName(QStringLiteral("gridFolderInfo"));
  gridFolderInfo->setAccessibleName(QStringLiteral("Folder information"));
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
  const auto& labels = FolderInfoRowLabels;
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
  const QString path = host_.Current().Path();
  const bool root = IsDriveRoot(path);
  if (shownPath_ != path || !node || !node->Data()) {
    // The path label of a folder is its path; a drive root's is the drive's display name.
    if (!root) pathText_ = path;
  }
  LayoutPage();
  if (path == shownPath_ || !node || !node->Data()) return;
  shownPath_ = path;
  const TFolderInfo info = BuildFolderInfo(*node, path, host_.Session().SelectedClusterIndex());

  QFileIconProvider icons;
  txtWebFolderInfoType->setText(info.TypeText);
  if (root) pathText_ = info.PathText;
  LayoutPage();
  QPixmap picture(32, 32);
  picture.fill(palette().color(QPalette::Base));
  {
    QPainter painter(&picture);
    icons.icon(root ? QFileIconProvider::Drive : QFileIconProvider::Folder).paint(&painter, 0, 0, 32, 32);
  }
  imgWebFolderInfo->setPixmap(picture);

  for (int r = 0; r < RowCount; ++r) gridFolderInfo->item(r, 1)->setText(info.Values[static_cast<size_t>(r)]);
  QLabel* const tree[FolderInfoFigureCount] = {txtWebTreeInfoSize, txtWebTreeInfoAllocated, txtWebTreeInfoWasted,
                                               txtWebTreeInfoObjects};
  QLabel* const folder[FolderInfoFigureCount] = {txtWebFolderInfoSize, txtWebFolderInfoAllocated,
                                                 txtWebFolderInfoWasted, txtWebFolderInfoObjects};
  for (int f = 0; f < FolderInfoFigureCount; ++f) {
    SetFigure(tree[f], info.Tree[static_cast<size_t>(f)].Text, info.Tree[static_cast<size_t>(f)].Hint);
    SetFigure(folder[f], info.Folder[static_cast<size_t>(f)].Text, info.Folder[static_cast<size_t>(f)].Hint);
  }
  SetFigure(txtWebTreeInfoOnDisk, info.TreeOnDisk.Text, info.TreeOnDisk.Hint);
  SetFigure(txtWebFolderInfoOnDisk, info.FolderOnDisk.Text, info.FolderOnDisk.Hint);
}

void TFolderInfoPage::imgWebFolderInfoClick() {
  const TCurrentFolder& current = host_.Current();
  if (current.Path().isEmpty()) return;
  const TFolderSize* known = current.Node() ? current.Node()->Data() : nullptr;
  RunShellCommand(TShellCommand::Properties, current.Path(), host_.Window(), known);
}

bool TFolderInfoPage::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    if (watched == imgWebFolderInfo) {
      imgWebFolderInfoClick();
      return true;
    }
    if (watched == imgTreeBarChart) {
      host_.ShowTreeBarChart();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}
