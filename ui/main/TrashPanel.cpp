#include "ui/main/TrashPanel.h"

#include "cleanup/TrashBin.h"
#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/ScanSession.h"
#include "shell/FileOps.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/PageHost.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

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

void TTrashPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void TTrashPanel::Refresh() {
  measured_ = host_.Current().Drive();
  const std::optional<QByteArray> host =
      measured_.isNull() ? std::nullopt : DriveToHost(QString(measured_) + QStringLiteral(":\\"));
  if (!host) {
    txtTrashContents->clear();
    btnEmptyTrash->setEnabled(false);
    return;
  }
  const TTrashContents contents = MeasureTrash(TrashFoldersFor(*host));
  txtTrashContents->setText(
      QStringLiteral("Trash of drive %1: %2 item(s), %3. Items in the trash keep their space until it is emptied.")
          .arg(QString(measured_), FormatCount64(contents.Items), FormatSize(contents.Bytes)));
  btnEmptyTrash->setEnabled(contents.Items > 0);
}

void TTrashPanel::EmptyTrashClick() {
  const QChar letter = host_.Current().Drive();
  if (letter.isNull()) return;
  bool changed = false;
  EmptyDriveTrash(letter, host_.Window(), &changed);
  if (changed) {
    // The trash folders that lie in a scanned drive show their new figures.
    const std::optional<QByteArray> root = DriveToHost(QString(letter) + QStringLiteral(":\\"));
    for (const TTrashFolder& folder : root ? TrashFoldersFor(*root) : std::vector<TTrashFolder>{}) {
      const std::optional<QString> drivePath = HostToDrive(folder.Path);
      if (TTreeNode* node = drivePath ? host_.Session().FindFolder(*drivePath) : nullptr) host_.Session().RescanFolder(node);
    }
  }
  Refresh();
}
