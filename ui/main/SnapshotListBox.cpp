#include "ui/main/SnapshotListBox.h"

#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "ui/controls/CenterOverForm.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int IdRole = Qt::UserRole + 1;

struct TListOutcome {
  std::vector<TSnapshotInfo> List;
  QString Error;
};

}  // namespace

TSnapshotListBox::TSnapshotListBox(TMode mode, THistoryJobs& jobs, const QString& storeName, QWidget* owner,
                                   std::function<bool(const TSnapshotInfo&)> keep)
    : QDialog(owner), mode_(mode), jobs_(jobs), storeName_(storeName), keep_(std::move(keep)) {
  setObjectName(mode == Pick ? QStringLiteral("SnapshotPickBox") : QStringLiteral("SnapshotManageBox"));
  setWindowTitle(mode == Pick ? QStringLiteral("Compare With Snapshot") : QStringLiteral("Manage Snapshots"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(mode == Pick ? QStringLiteral("Snapshots of this drive in the scan history:")
                                            : QStringLiteral("Snapshots in the scan history:"),
                               this));
  lstSnapshots = new QTreeWidget(this);
  lstSnapshots->setObjectName(QStringLiteral("lstSnapshots"));
  lstSnapshots->setColumnCount(ColumnCount);
  lstSnapshots->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Host"),
                                 mode == Pick ? QStringLiteral("Folder") : QStringLiteral("Host Folder"),
                                 QStringLiteral("Size")});
  lstSnapshots->headerItem()->setTextAlignment(colBytes, Qt::AlignRight | Qt::AlignVCenter);
  lstSnapshots->setRootIsDecorated(false);
  lstSnapshots->setUniformRowHeights(true);
  lstSnapshots->setAllColumnsShowFocus(true);
  lstSnapshots->setSelectionMode(mode == Pick ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
  lstSnapshots->header()->setStretchLastSection(false);
  lstSnapshots->header()->setSectionResizeMode(colFolder, QHeaderView::Stretch);
  const QFontMetrics fm = lstSnapshots->fontMetrics();
  lstSnapshots->setColumnWidth(colTime, fm.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 24);
  lstSnapshots->setColumnWidth(colHost, fm.horizontalAdvance(QStringLiteral("hostname-of-some")) + 16);
  lstSnapshots->setColumnWidth(colBytes, fm.horizontalAdvance(QStringLiteral("9,999.99 GB")) + 24);
  // Paths keep both ends readable; the whole one is in the tooltip.
  lstSnapshots->setTextElideMode(Qt::ElideMiddle);
  lstSnapshots->setMinimumWidth(fm.horizontalAdvance(QLatin1Char('x')) * 80);
  layout->addWidget(lstSnapshots, 1);

  txtStatus = new QLabel(this);
  txtStatus->setObjectName(QStringLiteral("txtStatus"));
  txtStatus->setWordWrap(true);
  txtStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(txtStatus);

  auto* buttons = new QDialogButtonBox(this);
  if (mode == Pick) {
    cmdOK = buttons->addButton(QStringLiteral("Compare"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdClose = buttons->addButton(QDialogButtonBox::Cancel);
  } else {
    cmdDelete = buttons->addButton(QStringLiteral("&Delete..."), QDialogButtonBox::ActionRole);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    connect(cmdDelete, &QPushButton::clicked, this, &TSnapshotListBox::DeleteSelected);
    cmdClose = buttons->addButton(QDialogButtonBox::Close);
  }
  cmdClose->setObjectName(QStringLiteral("cmdClose"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Picked()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(lstSnapshots, &QTreeWidget::itemSelectionChanged, this, &TSnapshotListBox::UpdateButtons);
  connect(lstSnapshots, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (mode_ == Pick && Picked()) accept();
  });
  resize(sizeHint());
  CenterOverForm(owner, this);
  Refresh();
}

void TSnapshotListBox::UpdateButtons() {
  const bool selected = !lstSnapshots->selectedItems().isEmpty();
  if (cmdOK) cmdOK->setEnabled(selected && !busy_);
  if (cmdDelete) cmdDelete->setEnabled(selected && !busy_);
}

void TSnapshotListBox::ShowError(const QString& text) {
  const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
  // The style's warning sign beside the text: the message reads as one whatever the palette.
  const QPixmap icon = style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size);
  txtStatus->setTextFormat(Qt::PlainText);
  txtStatus->setText(text);
  txtStatus->setToolTip(text);
  auto* warning = findChild<QLabel*>(QStringLiteral("imgWarning"));
  if (!warning) {
    warning = new QLabel(this);
    warning->setObjectName(QStringLiteral("imgWarning"));
    auto* row = new QHBoxLayout;
    row->addWidget(warning, 0, Qt::AlignTop);
    auto* box = static_cast<QVBoxLayout*>(layout());
    const int at = box->indexOf(txtStatus);
    box->removeWidget(txtStatus);
    row->addWidget(txtStatus, 1);
    box->insertLayout(at, row);
  }
  warning->setPixmap(icon);
  warning->show();
}

void TSnapshotListBox::Fill(const std::vector<TSnapshotInfo>& list) {
  lstSnapshots->clear();
  listed_.clear();
  const QLocale locale;
  for (const TSnapshotInfo& info : list) {
    if (keep_ && !keep_(info)) continue;
    listed_.push_back(info);
    auto* item = new QTreeWidgetItem(lstSnapshots);
    item->setText(colTime, info.Time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    item->setToolTip(colTime, QStringLiteral("Snapshot %1, %2 UTC").arg(info.Id).arg(info.Time.toUTC().toString(Qt::ISODate)));
    item->setText(colHost, info.Host);
    item->setText(colFolder, mode_ == Pick ? info.DrivePath : info.HostRoot);
    item->setToolTip(colFolder, info.HostRoot + QStringLiteral(" (") + info.DrivePath + QLatin1Char(')'));
    item->setText(colBytes, FormatSize(info.Bytes));
    item->setToolTip(colBytes, locale.toString(static_cast<qlonglong>(info.Bytes)) + QStringLiteral(" bytes"));
    item->setTextAlignment(colBytes, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(colTime, IdRole, static_cast<qlonglong>(info.Id));
  }
  // The newest is offered for comparing; for deleting nothing is chosen until the user does.
  if (mode_ == Pick && lstSnapshots->topLevelItemCount() > 0) lstSnapshots->setCurrentItem(lstSnapshots->topLevelItem(0));
}

void TSnapshotListBox::Refresh() {
  busy_ = true;
  UpdateButtons();
  if (auto* warning = findChild<QLabel*>(QStringLiteral("imgWarning"))) warning->hide();
  txtStatus->setText(QStringLiteral("Reading the scan history..."));
  auto outcome = std::make_shared<TListOutcome>();
  QPointer<TSnapshotListBox> self(this);
  jobs_.Run(
      storeName_,
      [outcome](THistoryStore* store, const QString& error, const QString& notice) {
        if (!store) {
          outcome->Error = error;
          return;
        }
        if (!notice.isEmpty()) outcome->Error = notice;
        if (auto list = store->List()) outcome->List = std::move(*list);
        else outcome->Error = store->Error();
      },
      [self, outcome] {
        if (!self) return;
        self->busy_ = false;
        self->Fill(outcome->List);
        if (!outcome->Error.isEmpty()) {
          self->ShowError(QStringLiteral("The scan history could not be read: ") + outcome->Error);
        } else if (self->listed_.empty()) {
          self->txtStatus->setText(self->mode_ == Pick ? QStringLiteral("No snapshot of this drive has been saved yet.")
                                                       : QStringLiteral("The scan history holds no snapshot."));
        } else {
          self->txtStatus->setText(QStringLiteral("%1 snapshot(s).").arg(self->listed_.size()));
        }
        self->UpdateButtons();
        emit self->Listed_(outcome->Error);
      });
}

std::optional<TSnapshotInfo> TSnapshotListBox::Picked() const {
  const QList<QTreeWidgetItem*> items = lstSnapshots->selectedItems();
  if (items.isEmpty()) return std::nullopt;
  const int64_t id = items.front()->data(colTime, IdRole).toLongLong();
  for (const TSnapshotInfo& info : listed_)
    if (info.Id == id) return info;
  return std::nullopt;
}

void TSnapshotListBox::DeleteSelected() {
  std::vector<int64_t> ids;
  for (QTreeWidgetItem* item : lstSnapshots->selectedItems()) ids.push_back(item->data(colTime, IdRole).toLongLong());
  if (ids.empty() || busy_) return;
  TMessageRequest question;
  question.Parent = this;
  question.Caption = windowTitle();
  question.Text = ids.size() == 1 ? QStringLiteral("Delete the snapshot of %1 from the scan history?")
                                        .arg(lstSnapshots->selectedItems().front()->text(colTime))
                                  : QStringLiteral("Delete these %1 snapshots from the scan history?").arg(ids.size());
  question.Icon = TMessageIcon::Question;
  question.Buttons = mbYes | mbNo;
  question.DefaultButton = mbNo;
  if (ShowMessage(question) != mbYes) return;
  busy_ = true;
  UpdateButtons();
  txtStatus->setText(QStringLiteral("Deleting..."));
  auto error = std::make_shared<QString>();
  QPointer<TSnapshotListBox> self(this);
  jobs_.Run(
      storeName_,
      [error, ids](THistoryStore* store, const QString& openError, const QString&) {
        if (!store) {
          *error = openError;
          return;
        }
        for (const int64_t id : ids)
          if (!store->Remove(id)) {
            *error = store->Error();
            return;
          }
      },
      [self, error] {
        if (!self) return;
        self->busy_ = false;
        if (!error->isEmpty()) {
          self->ShowError(QStringLiteral("Not every snapshot was deleted: ") + *error);
          // What is still there is listed again, without hiding the message.
          const QString shown = self->txtStatus->text();
          self->Refresh();
          connect(self.data(), &TSnapshotListBox::Listed_, self.data(), [self, shown](const QString& listError) {
            if (self && listError.isEmpty()) self->ShowError(shown);
          }, Qt::SingleShotConnection);
          return;
        }
        self->Refresh();
      });
}
