#include "ui/main/LargestFilesBox.h"

#include "platform/DriveTable.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/ScanSession.h"
#include "cleanup/ui/ItemMenu.h"
#include "ui/main/CurrentFolder.h"
#include "ui/main/PageHost.h"
#include "ui/main/ScanFileCommands.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMetaObject>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Sorts figures by their value rather than their text.
class TFigureItem : public QTreeWidgetItem {
public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const QVariant a = data(column, Qt::UserRole);
    const QVariant b = other.data(column, Qt::UserRole);
    if (a.isValid() && b.isValid()) return a.toLongLong() < b.toLongLong();
    return text(column) < other.text(column);
  }
};

void SetFigure(QTreeWidgetItem* item, int column, int64_t value, const QString& text) {
  item->setText(column, text);
  item->setData(column, Qt::UserRole, static_cast<qlonglong>(value));
  item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

QTreeWidget* MakeList(QWidget* parent, const char* name, const QStringList& captions) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QLatin1String(name));
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->setSortingEnabled(true);
  list->setHeaderLabels(captions);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  return list;
}

constexpr int PathRole = Qt::UserRole + 1;

}  // namespace

TLargestFilesBox::TLargestFilesBox(IPageHost& host, QWidget* window) : QWidget(window, Qt::Tool), host_(host) {
  setObjectName(QStringLiteral("LargestFilesBox"));
  setWindowTitle(QStringLiteral("Largest Files and Types"));
  resize(720, 460);
  auto* column = new QVBoxLayout(this);
  txtPath = new QLabel(this);
  txtPath->setObjectName(QStringLiteral("txtPath"));
  txtPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(txtPath);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Files listed:"), this));
  edtCount = new QSpinBox(this);
  edtCount->setObjectName(QStringLiteral("edtCount"));
  edtCount->setAccessibleName(QStringLiteral("Files listed"));
  edtCount->setRange(1, MaxLargestFiles);
  edtCount->setValue(DefaultLargestFiles);
  row->addWidget(edtCount);
  btnFind = new QPushButton(QStringLiteral("&Find"), this);
  btnFind->setObjectName(QStringLiteral("btnFind"));
  btnStop = new QPushButton(QStringLiteral("&Stop"), this);
  btnStop->setObjectName(QStringLiteral("btnStop"));
  btnStop->setEnabled(false);
  row->addWidget(btnFind);
  row->addWidget(btnStop);
  row->addStretch(1);
  column->addLayout(row);
  tabs = new QTabWidget(this);
  lstFiles = MakeList(tabs, "lstFiles", {QStringLiteral("Size"), QStringLiteral("On Disk"), QStringLiteral("Last Change"),
                                          QStringLiteral("Path")});
  lstTypes = MakeList(tabs, "lstTypes", {QStringLiteral("Type"), QStringLiteral("Files"), QStringLiteral("Size"),
                                          QStringLiteral("On Disk"), QStringLiteral("% of Folder")});
  tabs->addTab(lstFiles, QStringLiteral("Largest Files"));
  tabs->addTab(lstTypes, QStringLiteral("File Types"));
  column->addWidget(tabs, 1);
  txtStatus = new QLabel(this);
  txtStatus->setObjectName(QStringLiteral("txtStatus"));
  column->addWidget(txtStatus);

  connect(btnFind, &QPushButton::clicked, this, [this] { Find(); });
  connect(btnStop, &QPushButton::clicked, this, [this] { Stop(); });
  connect(lstFiles, &QTreeWidget::customContextMenuRequested, this, [this](QPoint pos) { FileMenu(pos); });
  // Choosing a type lists its largest files.
  connect(lstTypes, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item) Find(item->text(0));
  });
  connect(&host_.Session(), &TScanSession::TreeChanged, this, [this] {
    if (census_ && !Busy()) txtStatus->setText(QStringLiteral("The folder tree has changed since: Find again to bring the lists up to date."));
  });
}

TLargestFilesBox::~TLargestFilesBox() {
  cancel_ = true;
  Join();
}

void TLargestFilesBox::Join() {
  if (worker_.joinable()) worker_.join();
}

void TLargestFilesBox::Find(const QString& extension) {
  const QString path = host_.Current().Path();
  if (path.isEmpty() || Busy()) return;
  // A scan file lists no files, and its folders are not on this computer.
  if (RefuseOnLoadedScan(host_.Session(), this, path, QStringLiteral("Listing the largest files"))) return;
  cancel_ = false;
  txtPath->setText(extension.isEmpty() ? path : QStringLiteral("%1 (files of type %2)").arg(path, extension));
  txtStatus->setText(QStringLiteral("Reading %1...").arg(path));
  btnFind->setEnabled(false);
  btnStop->setEnabled(true);
  TFileCensusRequest request;
  request.DrivePath = path;
  request.Largest = edtCount->value();
  request.OnlyExtension = extension;
  request.Cancel = &cancel_;
  request.Progress = [this](const TFileWalkProgress& p) {
    const QString text = QStringLiteral("%1 file(s) in %2 folder(s)... %3")
                             .arg(FormatCount64(p.Files), FormatCount64(p.Folders), p.Folder);
    QMetaObject::invokeMethod(this, [this, text] { if (Busy()) txtStatus->setText(text); }, Qt::QueuedConnection);
  };
  worker_ = std::thread([this, request, extension] {
    auto census = std::make_shared<TFileCensus>(TakeFileCensus(request));
    QMetaObject::invokeMethod(this, [this, census, extension] { Finished(census, extension); }, Qt::QueuedConnection);
  });
}

void TLargestFilesBox::Stop() { cancel_ = true; }

void TLargestFilesBox::Finished(std::shared_ptr<TFileCensus> census, const QString& extension) {
  Join();
  btnFind->setEnabled(true);
  btnStop->setEnabled(false);
  if (!census->Complete()) {
    txtStatus->setText(census->Cancelled ? QStringLiteral("Stopped.") : census->Refusal);
    return;
  }
  census_ = census;
  ShowFiles(*census);
  if (extension.isEmpty()) {
    ShowTypes(*census);
  } else {
    tabs->setCurrentWidget(lstFiles);
  }
  QString status = QStringLiteral("%1 file(s), %2, %3 on disk, in %4 folder(s).")
                       .arg(FormatCount64(census->Files), FormatSize(census->Bytes), FormatSize(census->OnDisk),
                            FormatCount64(census->Folders));
  if (!census->UnreadableFolders.isEmpty())
    status += QStringLiteral(" %1 folder(s) could not be read, first %2.")
                  .arg(census->UnreadableFolders.size())
                  .arg(census->UnreadableFolders.first());
  txtStatus->setText(status);
}

void TLargestFilesBox::ShowFiles(const TFileCensus& census) {
  lstFiles->setSortingEnabled(false);
  lstFiles->clear();
  QList<QTreeWidgetItem*> items;
  for (const TLargeFile& file : census.Largest) {
    auto* item = new TFigureItem;
    SetFigure(item, 0, file.Size, FormatSize(file.Size));
    SetFigure(item, 1, file.OnDisk, FormatSize(file.OnDisk));
    item->setText(2, IsZeroFileTime(file.LastChange) ? QString() : FormatFileTime(file.LastChange));
    item->setData(2, Qt::UserRole, static_cast<qlonglong>(file.LastChange));
    const QString path = census.DrivePathOf(file);
    item->setText(3, path);
    item->setData(0, PathRole, path);
    items << item;
  }
  lstFiles->addTopLevelItems(items);
  lstFiles->setSortingEnabled(true);
  lstFiles->sortByColumn(0, Qt::DescendingOrder);
}

void TLargestFilesBox::ShowTypes(const TFileCensus& census) {
  lstTypes->setSortingEnabled(false);
  lstTypes->clear();
  const QLocale locale;
  QList<QTreeWidgetItem*> items;
  for (const TFileType& type : census.Types) {
    auto* item = new TFigureItem;
    item->setText(0, type.Extension);
    SetFigure(item, 1, type.Count, FormatCount64(type.Count));
    SetFigure(item, 2, type.Bytes, FormatSize(type.Bytes));
    SetFigure(item, 3, type.OnDisk, FormatSize(type.OnDisk));
    SetFigure(item, 4, type.Bytes, locale.toString(type.Share, 'f', 2) + QStringLiteral(" %"));
    items << item;
  }
  lstTypes->addTopLevelItems(items);
  lstTypes->setSortingEnabled(true);
  lstTypes->sortByColumn(2, Qt::DescendingOrder);
}

void TLargestFilesBox::FileMenu(QPoint pos) {
  QTreeWidgetItem* item = lstFiles->itemAt(pos);
  if (!item) return;
  const QString path = item->data(0, PathRole).toString();
  const int64_t size = item->data(0, Qt::UserRole).toLongLong();
  TScanSession& session = host_.Session();
  TTreeNode* folder = session.FindFolder(ParentFolder(path));
  if (folder == host_.SelectedNode()) {
    // A file of the folder shown: the window's own item menu, which keeps the tree right.
    host_.ShowItemContextMenu(path, nullptr, size, pos, lstFiles->viewport());
  } else {
    const TScanSession::TCountedFile counted = folder ? session.CountedFile(folder, path, size) : TScanSession::TCountedFile{};
    ShowShellContextMenu(host_.Window(), lstFiles->viewport()->mapToGlobal(pos), path, nullptr);
    // Gone: out of its folder's figures, and that folder is shown, as after any removal.
    if (!PathExists(path) && folder && session.RemoveFile(folder, path.at(0), counted)) host_.SelectNode(folder);
  }
  if (!PathExists(path)) delete item;
}

void ShowLargestFiles(IPageHost& host, QWidget* window) {
  QWidget* found = window->findChild<QWidget*>(QStringLiteral("LargestFilesBox"), Qt::FindDirectChildrenOnly);
  auto* box = found ? static_cast<TLargestFilesBox*>(found) : new TLargestFilesBox(host, window);
  box->show();
  box->raise();
  box->activateWindow();
  if (!box->Busy() && box->lstFiles->topLevelItemCount() == 0) box->Find();
}
