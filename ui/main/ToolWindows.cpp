#include "ui/main/ToolWindows.h"

#include "charts/ui/SimpleControls.h"
#include "config/FormPlacement.h"
#include "config/Settings.h"
#include "reports/WastedRows.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "ui/main/CurrentFolder.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace {

// The tool window's placement for the placement helpers. Client geometry both ways, so that what
// is saved comes back unchanged.
class TToolPlacement : public IFormPlacement {
public:
  explicit TToolPlacement(QWidget& w) : w_(w) {}
  int32_t Left() const override { return w_.geometry().x(); }
  int32_t Top() const override { return w_.geometry().y(); }
  int32_t Width() const override { return w_.width(); }
  int32_t Height() const override { return w_.height(); }
  void SetLeft(int32_t value) override {
    QRect g = w_.geometry();
    g.moveLeft(value);
    w_.setGeometry(g);
    positioned = true;
  }
  void SetTop(int32_t value) override {
    QRect g = w_.geometry();
    g.moveTop(value);
    w_.setGeometry(g);
    positioned = true;
  }
  void SetWidth(int32_t value) override { w_.resize(value, w_.height()); }
  void SetHeight(int32_t value) override { w_.resize(w_.width(), value); }
  TWindowState WindowState() const override { return wsNormal; }
  void SetWindowState(TWindowState) override {}

  bool positioned = false;

private:
  QWidget& w_;
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int height, int pixels, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  label->setFixedHeight(height);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  return label;
}

TSimplePieGauge* MakeGauge(QWidget* parent, const char* name, int left, int top) {
  auto* gauge = new TSimplePieGauge(parent);
  gauge->setObjectName(QString::fromLatin1(name));
  gauge->SetBorderStyle(TBorderStyle::None);
  gauge->SetForeColor(clRed);
  // The corners take the window's own colour, so that no square shows around the disk.
  const QColor back = parent->palette().color(QPalette::Window);
  gauge->SetColor(RgbToColor(back.red(), back.green(), back.blue()));
  gauge->setGeometry(left, top, 32, 32);
  return gauge;
}

}  // namespace

TSectionSizeBox::TSectionSizeBox(QWidget* owner)
    // A tool window of the main window: above it (the window manager keeps tool windows over their
    // owner) but never above the modal dialogs, which a stays-on-top window would cover.
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("SectionSizeBox"));
  setWindowTitle(QStringLiteral("Wasted & Drive Info"));
  QFont boxFont = font();
  boxFont.setPointSize(8);
  setFont(boxFont);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  panWasted = new QWidget(this);
  panWasted->setObjectName(QStringLiteral("panWasted"));
  panWasted->setFixedHeight(97);
  Label2 = MakeLabel(panWasted, "Label2", QStringLiteral("Item wastes"), 17, 12, false);
  Label2->move(0, 0);
  txtWasted = MakeLabel(panWasted, "txtWasted", QString(), 17, 12, true);
  txtWasted->move(0, 17);
  gaugeWasted = MakeGauge(panWasted, "gaugeWasted", 36, 38);
  gaugeWasted->setAccessibleName(QStringLiteral("Wasted share of the section"));
  Label1 = new QLabel(QStringLiteral("of used space"), panWasted);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setFixedHeight(15);
  Label1->move(0, 97 - 8 - 15);
  auto* bevel = new QFrame(panWasted);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel->setGeometry(0, 97 - 8, 0, 8);
  column->addWidget(panWasted);

  panDrive = new QWidget(this);
  panDrive->setObjectName(QStringLiteral("panDrive"));
  auto* drive = new QVBoxLayout(panDrive);
  drive->setContentsMargins(0, 0, 0, 0);
  drive->setSpacing(0);
  txtDrive = MakeLabel(panDrive, "txtDrive", QString(), 25, 13, true);
  Label4 = MakeLabel(panDrive, "Label4", QStringLiteral("Free space"), 15, 12, false);
  panFreeSpace = new QWidget(panDrive);
  panFreeSpace->setObjectName(QStringLiteral("panFreeSpace"));
  panFreeSpace->setFixedHeight(43);
  gaugeDriveFreeSpace = MakeGauge(panFreeSpace, "gaugeDriveFreeSpace", 36, 6);
  gaugeDriveFreeSpace->setAccessibleName(QStringLiteral("Free space of the drive"));
  txtDriveFreeSpace = MakeLabel(panDrive, "txtDriveFreeSpace", QString(), 15, 12, false);
  txtDriveCapacity = MakeLabel(panDrive, "txtDriveCapacity", QString(), 15, 12, false);
  for (QWidget* w : std::initializer_list<QWidget*>{txtDrive, Label4, panFreeSpace, txtDriveFreeSpace, txtDriveCapacity})
    drive->addWidget(w);
  drive->addStretch(1);
  column->addWidget(panDrive, 1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  popSectionBoxHide = PopupMenu1->addAction(QStringLiteral("&Hide"));
  popSectionBoxHide->setObjectName(QStringLiteral("popSectionBoxHide"));
  PopupMenu1->addSeparator();
  popSectionBoxDefaultSize = PopupMenu1->addAction(QStringLiteral("&Default Size"));
  popSectionBoxDefaultSize->setObjectName(QStringLiteral("popSectionBoxDefaultSize"));
  connect(popSectionBoxHide, &QAction::triggered, this, [this] { popSectionBoxHideClick(); });
  connect(popSectionBoxDefaultSize, &QAction::triggered, this, [this] { popSectionBoxDefaultSizeClick(); });

  setGeometry(205, 126, DefaultWidth, DefaultHeight);
  ShowDrive(QLatin1Char('?'), 0, QString(), QString());
  ShowWasted(0, QString());
  TToolPlacement placement(*this);
  LoadFormPlacement(placement, RegistryKeyPath, PopUpBoxSection);
  // A window with a stored position is not moved beside the main window on its first showing.
  if (placement.positioned) setProperty("placed", true);
  CentreGauges();
  // The drive's figures follow the folder the owner shows.
  if (auto* sectionOwner = dynamic_cast<ISectionBoxOwner*>(owner)) {
    settings_ = &sectionOwner->Settings();
    ApplyGaugeColors();
    connect(settings_, &TSettings::Changed, this, [this](TSettingGroups groups) {
      if (groups & sgColors) ApplyGaugeColors();
    });
    const TCurrentFolder* current = &sectionOwner->Current();
    connect(current, &TCurrentFolder::Changed, this, [this, current] {
      if (current->Drive().isNull()) return;
      const int64_t total = current->DriveTotal();
      ShowDrive(current->Drive(), total > 0 ? static_cast<int>(current->DriveFree() * 100 / total) : 0,
                FormatSize(current->DriveFree()), FormatSize(total));
    });
  }
}

TSectionSizeBox::~TSectionSizeBox() = default;

void TSectionSizeBox::SavePlacement() {
  const TToolPlacement placement(*this);
  SaveFormPlacement(placement, RegistryKeyPath, PopUpBoxSection);
}

void TSectionSizeBox::ShowWasted(int share, const QString& text) {
  txtWasted->setText(text);
  gaugeWasted->SetProgress(share);
}

void TSectionSizeBox::ShowFolderWasted(const TTreeNode* node) {
  const TFolderSize* rec = node ? node->Data() : nullptr;
  if (!rec) return;
  const int64_t wasted = SelectedTotalWasted(*rec);
  // The share of the folder's used space (size plus wasted), the same figure the pie shows for it.
  ShowWasted(WastedPercent(wasted, rec->TotalSize), FormatSize(wasted));
}

void TSectionSizeBox::ShowDrive(QChar letter, int freeShare, const QString& freeText, const QString& totalText) {
  txtDrive->setText(QStringLiteral("Drive ") + letter + QLatin1Char(':'));
  txtDriveFreeSpace->setText(freeText + QStringLiteral(" out of"));
  txtDriveCapacity->setText(totalText);
  gaugeDriveFreeSpace->SetProgress(freeShare);
}

void TSectionSizeBox::ApplyGaugeColors() {
  const TPieColorTable& colors = settings_ ? settings_->Values().PieColors : DefaultPieColors;
  gaugeWasted->SetForeColor(colors[pcSectionWasted]);
  gaugeDriveFreeSpace->SetForeColor(colors[pcFreeSpace]);
}

void TSectionSizeBox::CentreGauges() {
  for (TSimplePieGauge* gauge : {gaugeWasted, gaugeDriveFreeSpace}) {
    const QWidget* panel = gauge->parentWidget();
    gauge->move((panel->width() - gauge->width()) / 2, gauge->y());
  }
  for (QLabel* label : {Label2, txtWasted, Label1}) label->setFixedWidth(panWasted->width());
  if (auto* bevel = panWasted->findChild<QFrame*>(QStringLiteral("Bevel1"))) bevel->setFixedWidth(panWasted->width());
}

void TSectionSizeBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The panels follow the window through the layout; do it now so the gauges centre in them.
  if (layout()) layout()->setGeometry(rect());
  CentreGauges();
}

void TSectionSizeBox::closeEvent(QCloseEvent* event) {
  // Only the user's closing of the window switches it off; the program's end closes it too.
  auto* owner = dynamic_cast<ISectionBoxOwner*>(parentWidget());
  if (programEnding_ || (owner && owner->ProgramEnding())) {
    QWidget::closeEvent(event);
    return;
  }
  if (settings_) settings_->Change([](TSettingValues& s) { s.PieSectionSizeWindow = false; });
  if (owner) owner->SectionBoxClosedByUser();
  QWidget::closeEvent(event);
}

void TSectionSizeBox::contextMenuEvent(QContextMenuEvent* event) { PopupMenu1->popup(event->globalPos()); }

