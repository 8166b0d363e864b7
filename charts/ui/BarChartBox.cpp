// The tree bar chart window.

#include "charts/ui/BarChartBox.h"

#include "charts/Canvas.h"
#include "config/FormPlacement.h"
#include "config/RegHelpers.h"
#include "config/RegistryError.h"
#include "config/Settings.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

QFont ArialPixels(int pixels) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  return font;
}

// The window's placement for the placement helpers.
class TBoxPlacement : public IFormPlacement {
public:
  explicit TBoxPlacement(QWidget& w) : w_(w) {}
  int32_t Left() const override { return w_.geometry().x(); }
  int32_t Top() const override { return w_.geometry().y(); }
  int32_t Width() const override { return w_.width(); }
  int32_t Height() const override { return w_.height(); }
  void SetLeft(int32_t value) override { w_.move(value, w_.geometry().y()); }
  void SetTop(int32_t value) override { w_.move(w_.geometry().x(), value); }
  void SetWidth(int32_t value) override { w_.resize(std::max(value, 120), w_.height()); }
  void SetHeight(int32_t value) override { w_.resize(w_.width(), std::max(value, 120)); }
  TWindowState WindowState() const override { return wsNormal; }
  void SetWindowState(TWindowState) override {}

private:
  QWidget& w_;
};

// Draws one row: the background the view gives, the bar in the "Graph" column, the text after it.
class TBarDelegate : public QStyledItemDelegate {
public:
  explicit TBarDelegate(TBarChartBox* box) : QStyledItemDelegate(box), box_(box) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect r = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(r, selected ? palette.highlight() : palette.base());
    const int bar = box_->RowBarLength(index.row());
    if (bar > 0) {
      painter->setBrush(ColorToQColor(box_->BarColor()));
      painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
      painter->drawRect(QRect(QPoint(r.left(), r.top() + 4), QPoint(r.left() + bar, r.bottom() - 4)));
    }
    painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
    painter->setFont(option.font);
    const int x = r.left() + box_->GraphWidth() + 4;
    painter->drawText(QRect(x, r.top(), std::max(r.right() - x, 0), r.height()), Qt::AlignVCenter | Qt::AlignLeft,
                      box_->RowText(index.row()));
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), TBarChartBox::RowHeight};
  }

private:
  TBarChartBox* box_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

void TBarChartModel::SetRows(std::vector<TBarChartRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

const TBarChartRow* TBarChartModel::Row(int row) const {
  return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[static_cast<size_t>(row)] : nullptr;
}

int TBarChartModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TBarChartModel::data(const QModelIndex& index, int role) const {
  const TBarChartRow* row = Row(index.row());
  // The path and the figure serve screen readers; the delegate draws everything else.
  if (!row) return {};
  if (role == Qt::AccessibleTextRole) return NodePath(row->Node);
  if (role == Qt::AccessibleDescriptionRole && Figure) return Figure(index.row());
  return {};
}

// ---------------------------------------------------------------------------------------------

TBarChartBox::TBarChartBox(QWidget* owner, const TSettings* settings)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      settings_(settings) {
  setObjectName(QStringLiteral("BarChartBox"));
  setWindowTitle(QStringLiteral("Tree Bar Chart"));
  setSizeGripEnabled(false);
  move(85, 110);
  resize(509, 300);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(41);
  Panel1->setFont(ArialPixels(13));
  auto* top = new QHBoxLayout(Panel1);
  top->setContentsMargins(4, 3, 4, 3);
  Panel2 = new QWidget(Panel1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFixedWidth(177);
  auto* checks = new QVBoxLayout(Panel2);
  checks->setContentsMargins(0, 0, 0, 0);
  checks->setSpacing(1);
  chkIncludeSubfolders = new QCheckBox(QStringLiteral("Include subfolder sizes"), Panel2);
  chkIncludeSubfolders->setObjectName(QStringLiteral("chkIncludeSubfolders"));
  chkShowFullPath = new QCheckBox(QStringLiteral("Show folder full path"), Panel2);
  chkShowFullPath->setObjectName(QStringLiteral("chkShowFullPath"));
  for (QCheckBox* box : {chkIncludeSubfolders, chkShowFullPath}) {
    box->setFont(ArialPixels(12));
    box->setChecked(true);
    checks->addWidget(box);
  }
  top->addWidget(Panel2);
  Label1 = new QLabel(QStringLiteral("Double-click a folder to open it in Korvane"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  top->addWidget(Label1, 1);
  column->addWidget(Panel1);

  auto* headerModel = new QStandardItemModel(0, 2, this);
  headerModel->setHorizontalHeaderLabels({QStringLiteral("Graph"), QStringLiteral("Folder")});
  TheHeader = new QHeaderView(Qt::Horizontal, this);
  TheHeader->setObjectName(QStringLiteral("TheHeader"));
  TheHeader->setModel(headerModel);
  TheHeader->setSectionsClickable(false);
  TheHeader->setStretchLastSection(false);
  TheHeader->setFont(ArialPixels(12));
  TheHeader->setFixedHeight(17);
  TheHeader->setMinimumSectionSize(0);
  column->addWidget(TheHeader);

  model_ = new TBarChartModel(this);
  model_->Figure = [this](int row) {
    const std::optional<int64_t> value = RowValue(row);
    return value ? FormatSize(*value) : QStringLiteral("not scanned");
  };
  BarList = new QListView(this);
  BarList->setObjectName(QStringLiteral("BarList"));
  BarList->setAccessibleName(QStringLiteral("Folders and their sizes"));
  BarList->setModel(model_);
  BarList->setUniformItemSizes(true);
  BarList->setItemDelegate(new TBarDelegate(this));
  BarList->setFont(ArialPixels(13));
  BarList->setSelectionMode(QAbstractItemView::SingleSelection);
  BarList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  BarList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  BarList->installEventFilter(this);
  column->addWidget(BarList, 1);

  TheStatusBar = new QStatusBar(this);
  TheStatusBar->setObjectName(QStringLiteral("TheStatusBar"));
  TheStatusBar->setFont(ArialPixels(12));
  TheStatusBar->setSizeGripEnabled(true);
  txtStatusSize = new QLabel(TheStatusBar);
  txtStatusSize->setFixedWidth(100);
  txtStatusPath = new QLabel(TheStatusBar);
  txtStatusPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  TheStatusBar->addWidget(txtStatusSize);
  TheStatusBar->addWidget(txtStatusPath, 1);
  column->addWidget(TheStatusBar);

  // Keyboard moves and clicks alike describe the current row.
  connect(BarList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { BarListClick(); });
  connect(BarList, &QListView::doubleClicked, this, [this] { ChooseCurrent(); });
  connect(TheHeader, &QHeaderView::sectionResized, this, [this](int section) {
    if (section == 0) FitFolderSection();
  });
  for (QCheckBox* box : {chkIncludeSubfolders, chkShowFullPath})
    connect(box, &QCheckBox::toggled, BarList->viewport(), qOverload<>(&QWidget::update));

  // Settings of "BarChartBox"; missing or bad values keep the designed ones.
  try {
    TBoxPlacement placement(*this);
    LoadFormPlacement(placement, RegistryKeyPath, BarChartBoxSection);
    const int32_t stored = RegReadInt(RegistryKeyPath, BarChartBoxSection, BarChartGraphWidthName, PlacementNotStored);
    const int headerWidth = width();
    TheHeader->resizeSection(
        0, GraphColumnWidth(stored == PlacementNotStored ? std::nullopt : std::optional<int32_t>(stored), headerWidth));
    chkIncludeSubfolders->setChecked(RegReadBool(RegistryKeyPath, BarChartBoxSection, BarChartIncludeSubfoldersName, true));
    chkShowFullPath->setChecked(RegReadBool(RegistryKeyPath, BarChartBoxSection, BarChartShowFullPathName, true));
  } catch (const ERegistryException&) {
    TheHeader->resizeSection(0, GraphColumnWidth(std::nullopt, width()));
  }
  FitFolderSection();
}

TBarChartBox::~TBarChartBox() = default;

void TBarChartBox::SaveSettings() {
  TBoxPlacement placement(*this);
  SaveFormPlacement(placement, RegistryKeyPath, BarChartBoxSection);
  RegWriteInt(RegistryKeyPath, BarChartBoxSection, BarChartGraphWidthName, TheHeader->sectionSize(0));
  RegWriteBool(RegistryKeyPath, BarChartBoxSection, BarChartIncludeSubfoldersName, chkIncludeSubfolders->isChecked());
  RegWriteBool(RegistryKeyPath, BarChartBoxSection, BarChartShowFullPathName, chkShowFullPath->isChecked());
}

bool TBarChartBox::IncludeWasted() const {
  return settings_ ? settings_->Values().IncludeWastedInformation : DefaultIncludeWastedInformation;
}

TColor TBarChartBox::BarColor() const {
  return (settings_ ? settings_->Values().PieColors : DefaultPieColors)[pcBarChartBars];
}

void TBarChartBox::ShowFor(TTreeNode* node) {
  ChartRoot = node;
  ChosenPath.clear();
  ChartMax = BarChartMax(node, IncludeWasted());
  model_->SetRows(BarChartRows(node));
  setWindowTitle(QStringLiteral("Tree Bar Chart - ") + NodePath(node));
  txtStatusSize->clear();
  txtStatusPath->clear();
  if (model_->rowCount() > 0) BarList->setCurrentIndex(model_->index(0));
  BarListClick();
}

QString TBarChartBox::Choose(TTreeNode* node) {
  ShowFor(node);
  exec();
  return ChosenPath;
}

std::optional<int64_t> TBarChartBox::RowValue(int row) const {
  const TBarChartRow* r = model_->Row(row);
  if (!r) return std::nullopt;
  return BarChartValue(r->Node, chkIncludeSubfolders->isChecked(), IncludeWasted());
}

int32_t TBarChartBox::RowBarLength(int row) const {
  const std::optional<int64_t> value = RowValue(row);
  return value ? BarLength(*value, ChartMax, GraphWidth()) : 0;
}

QString TBarChartBox::RowText(int row) const {
  const TBarChartRow* r = model_->Row(row);
  if (!r) return {};
  if (!chkShowFullPath->isChecked()) return IndentedFolderText(r->Node, r->Level);
  const QFontMetrics metrics(BarList->font());
  return ShortenDrivePath(NodePath(r->Node), TheHeader->sectionSize(1),
                          [&](const QString& text) { return static_cast<int32_t>(metrics.horizontalAdvance(text)); });
}

int32_t TBarChartBox::GraphWidth() const { return TheHeader->sectionSize(0); }

void TBarChartBox::BarListClick() {
  const TBarChartRow* r = model_->Row(BarList->currentIndex().row());
  if (!r) return;
  const std::optional<int64_t> value = RowValue(BarList->currentIndex().row());
  txtStatusSize->setText(value ? FormatSize(*value) : QString());
  txtStatusPath->setText(NodePath(r->Node));
}

void TBarChartBox::ChooseCurrent() {
  ChosenPath = txtStatusPath->text();
  accept();
}

void TBarChartBox::FitFolderSection() {
  const int total = TheHeader->width() > 0 && TheHeader->isVisible() ? TheHeader->width() : width();
  // The "Graph" column keeps the width the user gave it, but never more than the window has.
  if (TheHeader->sectionSize(0) > total) {
    const QSignalBlocker block(TheHeader);
    TheHeader->resizeSection(0, total);
  }
  const QSignalBlocker block(TheHeader);
  TheHeader->resizeSection(1, std::max(total - TheHeader->sectionSize(0), 0));
  BarList->viewport()->update();
}

bool TBarChartBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == BarList && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
      keyPressEvent(key);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TBarChartBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The status bar names the current row from the moment the window opens.
      if (!txtStatusPath->text().isEmpty()) ChooseCurrent();
      else reject();
      return;
    case Qt::Key_Escape:
      reject();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void TBarChartBox::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitFolderSection();
}

void TBarChartBox::done(int result) {
  // The rows are built again at every opening; nothing keeps pointers into the tree meanwhile.
  model_->SetRows({});
  QDialog::done(result);
}
