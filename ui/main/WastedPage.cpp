#include "ui/main/WastedPage.h"

#include "charts/ui/SimpleControls.h"
#include "reports/WastedRows.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "shell/Help.h"
#include "ui/main/CurrentFolder.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Panel size, row size and header height of the page's fixed layout.
constexpr int PanelWidth = 75;
constexpr int PanelHeight = 87;
constexpr int RowWidth = 305;
constexpr int RowHeight = 89;
constexpr int HeaderHeight = 57;
constexpr int GaugeSize = 32;

QFont ArialFont(int points, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

void SetBackground(QWidget* w, QPalette::ColorRole role) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, pal.color(role));
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

}  // namespace

TWastedPage::TWastedPage(QWidget* parent, IPageHost* host) : QScrollArea(parent), host_(host) {
  setObjectName(QStringLiteral("panWastedSupport"));
  setAccessibleName(QStringLiteral("Wasted space at each cluster size"));
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  panWastedSupport = new QWidget;
  panWastedSupport->setObjectName(QStringLiteral("panWastedSupportArea"));
  SetBackground(panWastedSupport, QPalette::Base);

  panWebWastedPath = new QWidget(panWastedSupport);
  panWebWastedPath->setObjectName(QStringLiteral("panWebWastedPath"));
  txtWebWastedAmount = new QLabel(QStringLiteral("Amount of space wasted by folder"), panWebWastedPath);
  txtWebWastedAmount->setObjectName(QStringLiteral("txtWebWastedAmount"));
  txtWebWastedAmount->setFont(ArialFont(10, false));
  txtWebWastedPath = new QLabel(panWebWastedPath);
  txtWebWastedPath->setObjectName(QStringLiteral("txtWebWastedPath"));
  txtWebWastedPath->setFont(ArialFont(10, true));
  txtWebWastedAtDiff = new QLabel(QStringLiteral("at different cluster sizes (and % of usage+wasted)"), panWebWastedPath);
  txtWebWastedAtDiff->setObjectName(QStringLiteral("txtWebWastedAtDiff"));
  txtWebWastedAtDiff->setFont(ArialFont(10, false));
  int y = 2;
  for (QLabel* label : {txtWebWastedAmount, txtWebWastedPath, txtWebWastedAtDiff}) {
    label->move(8, y);
    label->setFixedHeight(17);
    y += 17;
  }
  // The 2-pixel line at the header's bottom.
  auto* line = new QFrame(panWebWastedPath);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setLineWidth(1);
  line->setObjectName(QStringLiteral("panWebWastedPathLine"));
  line->setGeometry(0, HeaderHeight - 2, 4000, 2);

  panWastedSupport1 = new QFrame(panWastedSupport);
  panWastedSupport1->setObjectName(QStringLiteral("panWastedSupport1"));
  panWastedSupport2 = new QFrame(panWastedSupport);
  panWastedSupport2->setObjectName(QStringLiteral("panWastedSupport2"));
  for (QFrame* row : {panWastedSupport1, panWastedSupport2}) {
    row->setFrameShape(QFrame::Box);
    row->setLineWidth(1);
    row->resize(RowWidth, RowHeight);
  }

  QFont bold = font();
  bold.setBold(true);
  // The cells' captions and hints do not depend on the folder.
  const auto captions = WastedCellCaptions();
  for (int n = 1; n <= StandardClusterCount; ++n) {
    QFrame* row = n <= 4 ? panWastedSupport1 : panWastedSupport2;
    const int column = n <= 4 ? n - 1 : n - 5;
    const TWastedCell& texts = captions[static_cast<size_t>(n)];
    auto* panel = new QFrame(row);
    panel->setObjectName(QStringLiteral("panWasted%1").arg(n));
    panel->setGeometry(1 + column * PanelWidth, 1, PanelWidth, PanelHeight);
    panel->setToolTip(texts.UsedBy);
    SetBackground(panel, QPalette::Base);
    auto* caption = new QLabel(texts.Caption, panel);
    caption->setObjectName(QStringLiteral("capWasted%1").arg(n));
    caption->setFont(bold);
    caption->setAlignment(Qt::AlignCenter);
    caption->setToolTip(texts.CaptionHint);
    caption->setGeometry(1, 4, PanelWidth - 2, 16);
    auto* gauge = new TSimplePieGauge(panel);
    gauge->setObjectName(QStringLiteral("WastedInd%1").arg(n));
    gauge->setAccessibleName(QStringLiteral("Wasted at ") + texts.Caption);
    gauge->SetBorderStyle(TBorderStyle::None);
    gauge->SetForeColor(clLime);
    const QColor back = panel->palette().color(QPalette::Window);
    gauge->SetColor(RgbToColor(back.red(), back.green(), back.blue()));
    gauge->setGeometry((PanelWidth - GaugeSize) / 2, 24, GaugeSize, GaugeSize);
    auto* size = new QLabel(panel);
    size->setObjectName(QStringLiteral("txtWasted%1").arg(n));
    size->setFont(bold);
    size->setAlignment(Qt::AlignCenter);
    size->setGeometry(1, 62, 73, 16);
    panWasted[n] = panel;
    capWasted[n] = caption;
    WastedInd[n] = gauge;
    txtWasted[n] = size;
  }

  txtWebReduceWaste = new QLabel(QStringLiteral("Click here to learn how to reduce the wasted space"), panWastedSupport2);
  txtWebReduceWaste->setObjectName(QStringLiteral("txtWebReduceWaste"));
  txtWebReduceWaste->setAlignment(Qt::AlignCenter);
  txtWebReduceWaste->setWordWrap(true);
  txtWebReduceWaste->setCursor(Qt::PointingHandCursor);
  QFont linkFont = font();
  linkFont.setUnderline(true);
  txtWebReduceWaste->setFont(linkFont);
  txtWebReduceWaste->setForegroundRole(QPalette::Link);
  txtWebReduceWaste->setGeometry(1 + 3 * PanelWidth + 2, 1, RowWidth - 3 * PanelWidth - 6, PanelHeight);
  txtWebReduceWaste->installEventFilter(this);

  setWidget(panWastedSupport);
}

int TWastedPage::WastedPercent(int64_t wasted, int64_t size) { return ::WastedPercent(wasted, size); }

QString TWastedPage::ShortenPath(const QString& path, const QFontMetrics& fm, int width) {
  if (fm.horizontalAdvance(path) <= width) return path;
  const QChar sep = path.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/');
  QStringList parts = path.split(sep);
  const QString ellipsis = QStringLiteral("...");
  // Keep the drive and the first folder, then as many trailing names as fit.
  if (parts.size() > 3) {
    const QString head = parts[0] + sep + parts[1] + sep + ellipsis;
    for (int first = 3; first < parts.size(); ++first) {
      const QString candidate = head + sep + QStringList(parts.mid(first)).join(sep);
      if (fm.horizontalAdvance(candidate) <= width) return candidate;
    }
    const QString tail = ellipsis + sep + parts.last();
    if (fm.horizontalAdvance(tail) <= width) return tail;
  }
  return fm.elidedText(path, Qt::ElideMiddle, width);
}

void TWastedPage::FillFor(TTreeNode* node) {
  if (!node || !host_) return;
  const TCurrentFolder& current = host_->Current();
  Fill(*node, current.Path(), current.DriveClusterSize());
}

void TWastedPage::Fill(const TTreeNode& node, const QString& path, int32_t driveClusterSize) {
  const TWastedRows rows = BuildWastedRows(node, path, driveClusterSize);
  folder_ = rows.Folder;
  path_ = rows.PathText;
  linkTag_ = folder_ ? HelpContext::ReduceWasteFolder : HelpContext::ReduceWasteDrive;
  if (!folder_) txtWebWastedPath->setText(rows.PathText);
  txtWebWastedAmount->setText(rows.AmountText);
  txtWebWastedAmount->adjustSize();
  txtWebWastedAtDiff->adjustSize();
  Layout();

  for (int n = 1; n <= StandardClusterCount; ++n) {
    const TWastedCell& cell = rows.Cells[static_cast<size_t>(n)];
    SetBackground(panWasted[n], cell.DriveOwn ? QPalette::Button : QPalette::Base);
    // The gauge's corners take the panel's own colour, so that no square shows around the disk.
    const QColor back = panWasted[n]->palette().color(QPalette::Window);
    WastedInd[n]->SetColor(RgbToColor(back.red(), back.green(), back.blue()));
    WastedInd[n]->SetProgress(cell.Percent);
    txtWasted[n]->setText(cell.Text);
    txtWasted[n]->setToolTip(cell.Hint);
  }
}

void TWastedPage::Layout() {
  const QSize box = viewport()->size();
  const int areaWidth = std::max(box.width(), RowWidth);
  const int areaHeight = std::max(box.height(), HeaderHeight + 2 * RowHeight);
  panWastedSupport->resize(areaWidth, areaHeight);
  panWebWastedPath->setGeometry(0, 0, areaWidth, HeaderHeight);
  const int left = RowWidth < box.width() ? (box.width() - RowWidth) / 2 : 0;
  // The rows sit below the header, lowered by half the height left over; never into the header.
  const int lower = std::max((box.height() - HeaderHeight - 2 * RowHeight) / 2, 0);
  panWastedSupport1->move(left, HeaderHeight + lower);
  panWastedSupport2->move(left, HeaderHeight + lower + RowHeight);
  const int pathWidth = std::max(areaWidth - txtWebWastedPath->x() - 4, 0);
  txtWebWastedPath->setFixedWidth(pathWidth);
  // A root keeps the node text its filler wrote.
  if (folder_) txtWebWastedPath->setText(ShortenPath(path_, QFontMetrics(txtWebWastedPath->font()), pathWidth));
}

void TWastedPage::txtWebReduceWasteClick() {
  if (linkTag_ != 0) ShowHelpContext(window(), linkTag_);
}

void TWastedPage::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  Layout();
}

bool TWastedPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtWebReduceWaste && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    txtWebReduceWasteClick();
    return true;
  }
  return QScrollArea::eventFilter(watched, event);
}

QString ClusterStatusText(int32_t clusterSize, const QString& fileSystemName) {
  // A size the volume query could not give (0 or -1) would read as "-1 bytes Cluster".
  if (clusterSize <= 0) return QString();
  const QString size = clusterSize < 1024 ? FormatSize32(clusterSize) : QStringLiteral("%1K").arg(clusterSize / 1024);
  return QStringLiteral("%1 Cluster (%2)").arg(size, fileSystemName);
}
