#include "ui/main/TrashPanel.h"

#include "cleanup/FreeOperation.h"
#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "cleanup/ui/ItemOperations.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/PageHost.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

TTrashContents MeasureDriveTrash(const QByteArray& hostRoot, const TOpContext& context) {
  return MeasureTrash(TrashFoldersFor(hostRoot), &context);
}

TTrashPanel::TMeasure& Measure() {
  static TTrashPanel::TMeasure measure = MeasureDriveTrash;
  return measure;
}

}  // namespace

void TTrashPanel::SetMeasureForTests(TMeasure measure) { Measure() = measure ? std::move(measure) : MeasureDriveTrash; }

TTrashPanel::TTrashPanel(IPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("panTrash"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 4, 0, 4);
  txtTrashContents = new QLabel(this);
  txtTrashContents->setObjectName(QStringLiteral("txtTrashContents"));
  txtTrashContents->setWordWrap(true);
  btnEmptyTrash = new QPushButton(QStringLiteral("Empty Trash"), this);
  btnEmptyTrash->setObjectName(QStringLiteral("btnEmptyTrash"));
  row->addWidget(txtTrashContents, 1);
  row->addWidget(btnEmptyTrash);
  connect(btnEmptyTrash, &QPushButton::clicked, this, [this] { EmptyTrashClick(); });
  connect(&host_.Current(), &TCurrentFolder::Changed, this, [this] {
    if (isVisible() && host_.Current().Drive() != measured_) Refresh();
  });
}

TTrashPanel::~TTrashPanel() {
  // The worker posts its result to this panel: it must be over before the panel goes.
  if (running_) running_->Cancel();
  pool_.waitForDone();
}

void TTrashPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void TTrashPanel::Refresh() {
  if (running_) running_->Cancel();
  running_.reset();
  measured_ = host_.Current().Drive();
  const std::optional<QByteArray> host =
      measured_.isNull() ? std::nullopt : DriveToHost(QString(measured_) + QStringLiteral(":\\"));
  if (!host) {
    txtTrashContents->clear();
    btnEmptyTrash->setEnabled(false);
    return;
  }
  txtTrashContents->setText(QStringLiteral("Measuring the trash of drive %1:...").arg(QString(measured_)));
  btnEmptyTrash->setEnabled(false);
  auto context = std::make_shared<TOpContext>();
  running_ = context;
  const TMeasure measure = Measure();
  pool_.start([this, context, measure, root = *host] {
    auto contents = std::make_shared<TTrashContents>(measure(root, *context));
    QMetaObject::invokeMethod(
        this,
        [this, context, contents] {
          // Only the measurement last started is shown: an earlier one is about a drive (or a
          // moment) no longer shown.
          if (context != running_) return;
          running_.reset();
          Show(*contents);
        },
        Qt::QueuedConnection);
  });
}

void TTrashPanel::Show(const TTrashContents& contents) {
  txtTrashContents->setText(
      QStringLiteral("Trash of drive %1: %2 item(s), %3. Items in the trash keep their space until it is emptied.")
          .arg(QString(measured_), FormatCount64(contents.Items), FormatSize(contents.Bytes)));
  btnEmptyTrash->setEnabled(contents.Items > 0);
  emit Measured();
}

void TTrashPanel::EmptyTrashClick() {
  const QChar letter = host_.Current().Drive();
  if (letter.isNull()) return;
  bool changed = false;
  EmptyDriveTrash(letter, host_.Window(), &changed);
  if (changed) {
    // The trash folders that lie in a scanned drive are to show their new figures.
    QStringList drivePaths;
    const std::optional<QByteArray> root = DriveToHost(QString(letter) + QStringLiteral(":\\"));
    for (const TTrashFolder& folder : root ? TrashFoldersFor(*root) : std::vector<TTrashFolder>{})
      if (const std::optional<QString> drivePath = HostToDrive(folder.Path)) drivePaths << *drivePath;
    if (!drivePaths.isEmpty()) emit FoldersChanged(drivePaths);
  }
  Refresh();
}
