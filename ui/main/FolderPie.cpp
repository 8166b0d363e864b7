// The pie page: building the sections of the current folder, laying the pie out, the header and
// the mouse.

#include "ui/main/FolderPie.h"

#include "charts/FolderColors.h"
#include "charts/FolderColorsSetting.h"
#include "charts/DriveShare.h"
#include "charts/ui/SimpleControls.h"
#include "config/Options.h"
#include "platform/DirEnum.h"
#include "platform/HostPath.h"
#include "reports/WastedRows.h"
#include "scan/FolderSize.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"
#include "scan/ScanSession.h"
#include "shell/PropertiesDialog.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/ScanFileCommands.h"

#include <QApplication>
#include <QCursor>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>
#include <cmath>

namespace {

// The magnifier cursors: a lens with a plus (open the subfolder) or a minus (go to the parent).
QCursor ZoomCursor(bool in) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 5));
  p.drawEllipse(QRectF(3, 3, 16, 16));
  p.drawLine(QPointF(17, 17), QPointF(27, 27));
  p.setPen(QPen(Qt::black, 2.5));
  p.drawEllipse(QRectF(3, 3, 16, 16));
  p.setPen(QPen(Qt::black, 4));
  p.drawLine(QPointF(17, 17), QPointF(27, 27));
  p.setPen(QPen(Qt::black, 2));
  p.drawLine(QPointF(7, 11), QPointF(15, 11));
  if (in) p.drawLine(QPointF(11, 7), QPointF(11, 15));
  p.end();
  return QCursor(pixmap, 11, 11);
}

QCursor PieCursorOf(int32_t k) {
  static const QCursor zoomIn = ZoomCursor(true);
  static const QCursor zoomOut = ZoomCursor(false);
  if (k == PieCursorZoomIn) return zoomIn;
  if (k == PieCursorZoomOut) return zoomOut;
  return QCursor(Qt::ArrowCursor);
}

QFont ArialPixels(int pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* MakeLabel(QWidget* parent, int x, int y, int width, int height, const QFont& font, Qt::Alignment align) {
  auto* label = new QLabel(parent);
  label->setGeometry(x, y, width, height);
  label->setFont(font);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

// The pictures of the summary sections: 0 for any summary, 1 for "Other smaller folders".
QPixmap SummaryImage(int index) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  const QIcon icon = QApplication::style()->standardIcon(index == 1 ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
  // A small stack: three copies, each a little lower and to the right.
  for (int i = 0; i < 3; ++i) p.drawPixmap(2 + 4 * i, 2 + 4 * i, icon.pixmap(20, 20));
  return pixmap;
}

struct TShellItemInfo {
  QString DisplayName;
  QString TypeName;
  QPixmap Icon;
};

// Display name, type name and large icon of a drive path, as the file manager would show them.
TShellItemInfo ShellItemInfo(const QString& path, TSectionKind kind) {
  static QFileIconProvider provider;
  TShellItemInfo info;
  if (IsDriveRoot(path)) {
    info.DisplayName = DriveDisplayName(AddBackslash(path.left(2)));
    info.TypeName = QStringLiteral("Drive");
    info.Icon = provider.icon(QFileIconProvider::Drive).pixmap(32, 32);
    return info;
  }
  const int slash = path.lastIndexOf(QLatin1Char('\\'));
  info.DisplayName = path.mid(slash + 1);
  if (kind == TSectionKind::Folder) {
    info.TypeName = QStringLiteral("Folder");
    info.Icon = provider.icon(QFileIconProvider::Folder).pixmap(32, 32);
    return info;
  }
  const QMimeType mime = QMimeDatabase().mimeTypeForFile(info.DisplayName, QMimeDatabase::MatchExtension);
  info.TypeName = mime.isValid() && !mime.isDefault() && !mime.comment().isEmpty() ? mime.comment() : QStringLiteral("File");
  // Only a file's icon needs the file itself, found on the host.
  THostLocation location;
  QIcon icon;
  if (LocateDrivePath(path, location)) icon = provider.icon(QFileInfo(QString::fromLocal8Bit(location.HostPath)));
  if (icon.isNull()) icon = provider.icon(QFileIconProvider::File);
  info.Icon = icon.pixmap(32, 32);
  return info;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TFolderPieBox::TFolderPieBox(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FolderPie"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("Pie chart of the current folder"));
  InstallChartAccessibility();
}

void TFolderPieBox::SetItems(std::vector<TItem> items) {
  items_ = std::move(items);
  if (focus_ >= static_cast<int>(items_.size())) focus_ = items_.empty() ? -1 : static_cast<int>(items_.size()) - 1;
  update();
}

void TFolderPieBox::SetFocusItem(int item) {
  if (items_.empty()) item = -1;
  item = std::clamp(item, -1, static_cast<int>(items_.size()) - 1);
  if (item == focus_) return;
  focus_ = item;
  update();
  if (OnFocusItem) OnFocusItem(focus_);
  NotifyAccessibleItemFocus(this, focus_);
}

QString TFolderPieBox::AccessibleItemName(int item) const {
  return item >= 0 && item < AccessibleItemCount() ? items_[static_cast<size_t>(item)].Name : QString();
}

QString TFolderPieBox::AccessibleItemFigure(int item) const {
  return item >= 0 && item < AccessibleItemCount() ? items_[static_cast<size_t>(item)].Figure : QString();
}

QRect TFolderPieBox::AccessibleItemRect(int item) const {
  return item >= 0 && item < AccessibleItemCount() ? items_[static_cast<size_t>(item)].Box : QRect();
}

void TFolderPieBox::keyPressEvent(QKeyEvent* e) {
  const int last = static_cast<int>(items_.size()) - 1;
  switch (e->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      SetFocusItem(focus_ < last ? focus_ + 1 : 0);
      return;
    case Qt::Key_Left:
    case Qt::Key_Up:
      SetFocusItem(focus_ > 0 ? focus_ - 1 : last);
      return;
    case Qt::Key_Home:
      SetFocusItem(0);
      return;
    case Qt::Key_End:
      SetFocusItem(last);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (focus_ >= 0 && OnOpenItem) OnOpenItem(focus_);
      return;
    default:
      QWidget::keyPressEvent(e);
  }
}

void TFolderPieBox::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  update();
}

void TFolderPieBox::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  update();
}

void TFolderPieBox::Painted(const TRect& rect) {
  PaintedRects.push_back(rect);
  update(QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top));
}

void TFolderPieBox::SetPieCursor(int32_t k) {
  if (k == cursor_) return;
  cursor_ = k;
  setCursor(PieCursorOf(k));
}

// FolderPiePaint: the picture as the engine last showed it.
void TFolderPieBox::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(e->rect(), palette().color(QPalette::Window));
  const QRect r = e->rect();
  const qreal scale = screen_.Image().devicePixelRatio();
  p.drawImage(QRectF(r), screen_.Image(), QRectF(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale));
  // The focus section's mark, in the palette's highlight colour, while the pie has the focus.
  if (hasFocus() && focus_ >= 0 && focus_ < static_cast<int>(items_.size())) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(items_[static_cast<size_t>(focus_)].Box).adjusted(-1, -1, 1, 1));
  }
}

void TFolderPieBox::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (OnMouseMove) OnMouseMove(pos.x(), pos.y());
}

void TFolderPieBox::resizeEvent(QResizeEvent*) {
  if (OnResize) OnResize();
}

void TFolderPieBox::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (OnMouseDown) OnMouseDown(e->button(), pos.x(), pos.y());
}

// ---------------------------------------------------------------------------------------------

TPiePage::TPiePage(IPageHost& host, QWidget* page) : QWidget(page), host_(host) {
  setObjectName(QStringLiteral("panPieChartSupport"));
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(this);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  panPieSectionHeader = new QWidget;
  panPieSectionHeader->setObjectName(QStringLiteral("panPieSectionHeader"));
  panPieSectionHeader->setFixedHeight(41);
  panPieSectionHeader->setAutoFillBackground(true);
  QPalette headerPalette = panPieSectionHeader->palette();
  headerPalette.setColor(QPalette::Window, ColorToQColor(clWindow));
  panPieSectionHeader->setPalette(headerPalette);
  auto* headerRow = new QHBoxLayout(panPieSectionHeader);
  headerRow->setContentsMargins(0, 0, 0, 0);
  auto* headerLeft = new QWidget;
  headerRow->addWidget(headerLeft, 1);
  imgIcon = new QLabel(headerLeft);
  imgIcon->setObjectName(QStringLiteral("imgIcon"));
  imgIcon->setGeometry(6, 4, 32, 32);
  imgIcon->setCursor(Qt::PointingHandCursor);
  imgIcon->setToolTip(QStringLiteral("Click to display item properties"));
  imgIcon->installEventFilter(this);
  txtWebFolderType = MakeLabel(headerLeft, 45, 4, 400, 16, ArialPixels(13, false), Qt::AlignLeft);
  txtWebFolderType->setObjectName(QStringLiteral("txtWebFolderType"));
  txtWebFolderName = MakeLabel(headerLeft, 46, 20, 400, 16, ArialPixels(13, true), Qt::AlignLeft);
  txtWebFolderName->setObjectName(QStringLiteral("txtWebFolderName"));
  panPieSectionSize = new QWidget;
  panPieSectionSize->setObjectName(QStringLiteral("panPieSectionSize"));
  // Sizes such as "1,000 bytes" are wider than the 59 pixels the size text ends in, so the size
  // panel keeps extra room on its left where the right-justified text can grow.
  constexpr int sizeRoom = 60;
  // The drive texts are 48 pixels wide in a narrow font; with the desktop's font a total such as
  // "251.97 GB" needs more, so they get what the widest two-decimal size takes.
  const int driveWidth = std::max(48, QFontMetrics(font()).horizontalAdvance(QStringLiteral("999.99 GB")) + 4);
  panPieSectionSize->setFixedWidth(100 + sizeRoom + driveWidth);
  headerRow->addWidget(panPieSectionSize);
  txtWebFolderSize = MakeLabel(panPieSectionSize, 0, 12, 59 + sizeRoom, 16, ArialPixels(13, true), Qt::AlignRight);
  txtWebFolderSize->setObjectName(QStringLiteral("txtWebFolderSize"));
  gaugeWebSection = new TSimplePieGauge(panPieSectionSize);
  gaugeWebSection->setObjectName(QStringLiteral("gaugeWebSection"));
  gaugeWebSection->setAccessibleName(QStringLiteral("Share of the drive"));
  gaugeWebSection->setGeometry(66 + sizeRoom, 4, 32, 32);
  gaugeWebSection->SetBorderStyle(TBorderStyle::None);
  gaugeWebSection->SetForeColor(clLime);
  txtWebSectionDrive = MakeLabel(panPieSectionSize, 100 + sizeRoom, 7, driveWidth, 14, font(), Qt::AlignHCenter);
  txtWebSectionDrive->setObjectName(QStringLiteral("txtWebSectionDrive"));
  txtWebSectionDriveSize = MakeLabel(panPieSectionSize, 100 + sizeRoom, 21, driveWidth, 14, font(), Qt::AlignHCenter);
  txtWebSectionDriveSize->setObjectName(QStringLiteral("txtWebSectionDriveSize"));
  column->addWidget(panPieSectionHeader);
  Shape1 = new QFrame;
  Shape1->setObjectName(QStringLiteral("Shape1"));
  Shape1->setFrameShape(QFrame::HLine);
  Shape1->setFixedHeight(2);
  Shape1->setLineWidth(2);
  column->addWidget(Shape1);

  FolderPie = new TFolderPieBox;
  FolderPie->OnMouseMove = [this](int x, int y) { FolderPieMouseMove(x, y); };
  FolderPie->OnMouseDown = [this](Qt::MouseButton button, int x, int y) { FolderPieMouseDown(button, x, y); };
  FolderPie->OnFocusItem = [this](int item) {
    if (!host_.NotReady()) HighlightSection(item);
  };
  FolderPie->OnOpenItem = [this](int item) { OpenSection(item); };
  // The pie follows its own size: the page's layout settles after the right panel's resize.
  FolderPie->OnResize = [this] {
    if (host_.PageShowing(pgPie)) LayoutPie();
  };
  column->addWidget(FolderPie, 1);

  const int width = std::max(FolderPie->width(), 1);
  const int height = std::max(FolderPie->height(), 1);
  pieBitmap_.SetSize(width, height, FolderPie->devicePixelRatioF());
  FolderPie->SetScreenSize(width, height);
  chart_ = std::make_unique<THPieChart>(&pieBitmap_.Canvas(), width, height);
  chart_->PaintTarget = FolderPie;
  chart_->Picture = &pieBitmap_;
  chart_->CloseLastSection = true;
  ApplyPieSettings();
  // The pie follows the settings it is drawn with.
  connect(&host_.Settings(), &TSettings::Changed, this, [this](TSettingGroups groups) {
    if (groups & (sgColors | sgPieContents)) ApplyPieSettings();
    if (!(groups & (sgColors | sgPieContents | sgWasted))) return;
    Forget();
    host_.RefillIfCurrent(pgPie);
  });
  // The next showing draws the sections in the chosen colours.
  connect(&FolderColorsSetting(), &TFolderColorsSetting::Changed, this, [this] { shownPath_.clear(); });
  connect(&host_.Current(), &TCurrentFolder::Changed, this, [this] {
    const TCurrentFolder& current = host_.Current();
    if (!current.Drive().isNull()) ShowDrive(current.Drive(), FormatSize(current.DriveTotal()));
  });
}

TPiePage::~TPiePage() = default;

void TPiePage::ApplyPieSettings() {
  const TSettingValues& s = host_.Settings().Values();
  const TPieColorTable& colors = s.PieColors;
  chart_->MinTextAngle = s.MinTextSectionAngle;
  chart_->SetLabelColors(colors[7], colors[8], colors[9], colors[10], colors[11], colors[12]);
  chart_->SetColors(colors[0], colors[1], colors[2]);
  // The header's drive-share gauge follows its own colour entry (lime unless the user changed it).
  gaugeWebSection->SetForeColor(colors[pcSectionSize]);
}

void TPiePage::ShowPiePage(TTreeNode* node) {
  host_.ShowSectionSizeWindow(host_.Settings()->PieSectionSizeWindow);
  LayoutPie();
  if (host_.Current().Path() != shownPath_) BuildFolderPie(node);
}

void TPiePage::LayoutPie() {
  if (!host_.Window()->isVisible()) return;
  const int width = FolderPie->width();
  const int height = FolderPie->height();
  chart_->SetSize(width, height);
  pieBitmap_.SetSize(width, height, FolderPie->devicePixelRatioF());
  FolderPie->SetScreenSize(width, height);
  chart_->EndUpdate();
  UpdatePieItems();
}

void TPiePage::BuildFolderPie(TTreeNode* node) {
  if (!node || !node->Data()) return;
  const QString path = NodePath(node);
  PieHotSection = -1;
  chart_->HotIndex = -1;
  chart_->BeginUpdate();
  struct TEndUpdate {
    TPiePage* Page;
    ~TEndUpdate() {
      Page->chart_->EndUpdate();
      Page->shownPath_ = Page->host_.Current().Path();
      Page->UpdatePieItems();
    }
  } endUpdate{this};

  // The record of the item under the mouse points into the list that is about to go.
  CurrentPieItem = {};
  FolderPie->PaintedRects.clear();
  SectionInfos.clear();
  chart_->Clear();

  const TSettingValues& values = host_.Settings().Values();
  TFolderPieSettings settings;
  settings.IncludeWasted = values.IncludeWastedInformation;
  settings.ShowFiles = values.ShowFileNames;
  settings.ShowPercent = values.ShowPercentInPie;
  settings.MinFolderAngle = values.MinFolderSectionAngle;
  settings.MinFileAngle = values.MinFileSectionAngle;
  settings.ClusterIndex = host_.Session().SelectedClusterIndex();
  settings.DriveClusterSize = host_.Current().DriveClusterSize();
  TFolderPieSections sections = BuildFolderPieSections(*node, path, settings);
  for (TSectionInfo& info : sections.Infos) SectionInfos.push_back(std::make_unique<TSectionInfo>(std::move(info)));
  OtherFoldersSize = sections.OtherFoldersSize;
  OtherFoldersWasted = sections.OtherFoldersWasted;
  OtherFilesSize = sections.OtherFilesSize;
  OtherFilesWasted = sections.OtherFilesWasted;

  const TSectionInfo& self = *SectionInfos[0];
  ShowPieItem(self.Name, path, TSectionKind::Folder, self.Wasted, self.Size);
  for (const TPieSlice& slice : sections.Slices) {
    TPieSection* section =
        chart_->AddSection(slice.Caption, SliceColor(slice, values.PieColors, FolderColorsSetting().ColorEachFolder()), slice.Angle);
    section->Node = slice.Node;
    section->InfoIndex = slice.InfoIndex;
  }
  chart_->SortSections(!values.SortAscending);
}

// ---------------------------------------------------------------------------------------------

void TPiePage::FolderPieMouseMove(int x, int y) {
  if (host_.NotReady()) return;
  HighlightSection(chart_->SectionIndexAt(x, y));
}

void TPiePage::HighlightSection(int h) {
  if (h != PieHotSection) {
    chart_->DrawLabel(PieHotSection, false);
    PieHotSection = h;
    chart_->HotIndex = h;
    chart_->DrawLabel(h, true);
  }
  const TPieSection* section = h >= 0 ? chart_->SectionAt(h) : nullptr;
  const int i = section ? section->InfoIndex : 0;
  if (i < 0 || i >= static_cast<int>(SectionInfos.size())) return;
  const TSectionInfo& info = *SectionInfos[i];
  const QString caption = i != 0 && section ? section->Caption : info.Name;
  FolderPie->SetPieCursor(info.Cursor);
  CurrentPieItem = TCurrentPieItem{info.Path, info.Node, info.Size, info.Wasted, &info};
  ShowPieItem(caption, info.Path, info.Kind, info.Wasted, info.Size);
}

void TPiePage::OpenSection(int h) {
  const TPieSection* section = chart_->SectionAt(h);
  if (!section || !section->Node) return;
  host_.SelectNode(section->Node);
  if (host_.Settings()->AutoExpand) {
    if (TTreeNode* selected = host_.SelectedNode()) host_.ExpandNode(selected);
  }
}

void TPiePage::UpdatePieItems() {
  std::vector<TFolderPieBox::TItem> items;
  const bool withWasted = host_.Settings()->IncludeWastedInformation;
  double cumulative = 0;
  for (int k = 0; k < chart_->SectionCount(); ++k) {
    const TPieSection& section = *chart_->SectionAt(k);
    const double middle = cumulative + section.Angle / 2;
    cumulative += section.Angle;
    const int i = section.InfoIndex;
    const TSectionInfo* info = i >= 0 && i < static_cast<int>(SectionInfos.size()) ? SectionInfos[static_cast<size_t>(i)].get() : nullptr;
    TFolderPieBox::TItem item;
    item.Name = i != 0 && !section.Caption.isEmpty() ? section.Caption : info ? info->Name : section.Caption;
    // The caption may carry the figure ("Photos (38%)"); the name is what comes before it.
    if (const int cut = item.Name.lastIndexOf(QStringLiteral(" (")); cut > 0 && item.Name.endsWith(QLatin1Char(')')))
      item.Name.truncate(cut);
    const int64_t shown = info ? (withWasted ? info->Size + info->Wasted : info->Size) : 0;
    item.Figure = FormatSize(shown) + QStringLiteral(", %1% of the pie").arg(qRound(section.Angle * 100 / 360));
    const bool labelled = !section.Caption.isEmpty() && section.Angle >= chart_->MinTextAngle && section.LabelShown;
    if (labelled) {
      const QSize text(pieBitmap_.Canvas().TextWidth(section.Caption), pieBitmap_.Canvas().TextHeight(section.Caption));
      item.Box = QRect(section.LabelPos - QPoint(4, 2), text + QSize(8, 4));
    } else {
      const QPoint inside = chart_->PointAt(middle, chart_->Radius() * 2 / 3);
      item.Box = QRect(inside - QPoint(5, 5), QSize(11, 11));
    }
    items.push_back(item);
  }
  FolderPie->SetItems(std::move(items));
}

void TPiePage::FolderPieMouseDown(Qt::MouseButton button, int x, int y) {
  if (button == Qt::RightButton && CurrentPieItem.Info && CurrentPieItem.Info->Kind != TSectionKind::Summary) {
    // A copy: the menu may change the tree, and a rebuild replaces the section records.
    const TCurrentPieItem item = CurrentPieItem;
    host_.ShowItemContextMenu(item.Path, item.Node, item.Size, QPoint(x, y), FolderPie);
  }
  if (button != Qt::LeftButton) return;
  const int h = chart_->SectionIndexAt(x, y);
  if (chart_->SectionAt(h)) {
    OpenSection(h);
    return;
  }
  TTreeNode* selected = host_.SelectedNode();
  if (!selected || !selected->Parent()) return;
  TTreeNode* parent = selected->Parent();
  host_.PreparePages(parent);
  if (host_.Settings()->AutoCollapse) CollapseAll(selected);
  host_.SelectNode(parent);
}

void TPiePage::CollapseAll(TTreeNode* node) {
  // Children before their parent, on a stack of our own: an expanded chain may be deeper than
  // the thread's stack.
  std::vector<std::pair<TTreeNode*, int>> stack;
  if (host_.NodeExpanded(node)) stack.emplace_back(node, 0);
  while (!stack.empty()) {
    auto& [current, next] = stack.back();
    if (next < current->Count()) {
      TTreeNode* child = current->Child(next++);
      if (host_.NodeExpanded(child)) stack.emplace_back(child, 0);
    } else {
      host_.CollapseNode(current);
      stack.pop_back();
    }
  }
}

void TPiePage::ShowPieItem(const QString&, const QString& path, TSectionKind kind, int64_t wasted, int64_t size) {
  const int64_t shown = host_.Settings()->IncludeWastedInformation ? size + wasted : size;
  // The share is of the item's used space (size plus wasted), as on a folder selection.
  host_.ShowSectionWasted(WastedPercent(wasted, size), FormatSize(wasted));
  switch (kind) {
    case TSectionKind::File:
      host_.SetStatusText(0, QStringLiteral("File ") + path);
      break;
    case TSectionKind::Folder:
      host_.SetStatusText(0, QStringLiteral("Folder ") + path);
      break;
    case TSectionKind::Summary:
      host_.SetStatusText(0, path);
      break;
  }
  txtWebFolderSize->setText(shown >= 0 ? FormatSize(shown) : QString());
  const TDriveShare share = DriveShareOf(shown, host_.Current().DriveTotal());
  gaugeWebSection->SetProgress(share.Percent);
  if (!host_.Current().Drive().isNull())
    txtWebSectionDrive->setText(DriveShareCaption(host_.Current().Drive(), share.LargerThanDrive));
  if (kind == TSectionKind::Summary) {
    txtWebFolderType->clear();
    txtWebFolderName->setText(path);
    SetIcon(SummaryImage(path == QLatin1String(OtherSmallerFoldersText) ? 1 : 0));
    return;
  }
  const TShellItemInfo info = ShellItemInfo(path, kind);
  txtWebFolderName->setText(info.DisplayName);
  txtWebFolderType->setText(IsDriveRoot(path) ? QStringLiteral("Root Folder of Drive") : info.TypeName);
  SetIcon(info.Icon);
}

void TPiePage::SetIcon(const QPixmap& icon) {
  QPixmap pixmap(32, 32);
  pixmap.fill(ColorToQColor(clWindow));
  QPainter p(&pixmap);
  p.drawPixmap(0, 0, icon);
  p.end();
  imgIcon->setPixmap(pixmap);
}

void TPiePage::imgIconClick() {
  const TCurrentFolder& current = host_.Current();
  if (current.Path().isEmpty() || RefuseOnLoadedScan(host_.Session(), host_.Window(), current.Path(), QStringLiteral("Showing the properties of a folder")))
    return;
  ShowItemProperties(current.Path(), host_.Window(), current.Node() ? current.Node()->Data() : nullptr);
}

void TPiePage::ShowDrive(QChar letter, const QString& totalText) {
  txtWebSectionDrive->setText(DriveShareCaption(letter, false));
  txtWebSectionDriveSize->setText(totalText);
}

bool TPiePage::eventFilter(QObject* watched, QEvent* e) {
  if (watched == imgIcon && e->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    imgIconClick();
    return true;
  }
  return QWidget::eventFilter(watched, e);
}
