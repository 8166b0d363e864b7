#include "scan/ScanSession.h"

#include "platform/DriveTable.h"
#include "scan/FolderSize.h"
#include "scan/LoadedScan.h"
#include "scan/LinkOwners.h"
#include "scan/PathFunctions.h"
#include "scan/ScanHost.h"
#include "scan/Scanner.h"
#include "scan/VolumeInfo.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>

TScanSession::TScanSession(IScanHost& host, QObject* parent)
    : QObject(parent), active_(state_), scanner_(std::make_unique<TFolderScanner>(tree_, host)) {
  stepTimer_.setSingleShot(false);
  connect(&stepTimer_, &QTimer::timeout, this, [this] { StepScan(); });
}

TScanSession::~TScanSession() {
  stepTimer_.stop();
  // A scan still under way stops where it is, before the tree it walks goes.
  scanner_.reset();
  // The drive records point into the tree; both go before the state stops being the active one.
  for (TDriveRecInfo* rec : state_.Drives) delete rec;
  state_.Drives.clear();
  tree_.Clear();
}

TDriveRecInfo* TScanSession::Drive(QChar letter) const {
  const char c = static_cast<char>(letter.toUpper().unicode());
  for (TDriveRecInfo* rec : state_.Drives)
    if (rec->Letter == c) return rec;
  return nullptr;
}

template <typename F>
void TScanSession::RunScan(F&& scan) {
  scanning_ = true;
  emit ScanStarted();
  try {
    scan();
  } catch (...) {
    scanning_ = false;
    emit ScanFinished(true);
    throw;
  }
  scanning_ = false;
  emit ScanFinished(state_.AbortScan);
}

template <typename F>
void TScanSession::StartScan(F&& begin) {
  scanning_ = true;
  emit ScanStarted();
  try {
    begin();
  } catch (const std::exception& e) {
    EndSlicedScan(QString::fromUtf8(e.what()));
    return;
  }
  stepTimer_.start(0);
}

void TScanSession::StepScan() {
  QString error;
  try {
    if (!scanner_->Step(QDeadlineTimer(sliceMs_))) return;
  } catch (const std::exception& e) {
    error = QString::fromUtf8(e.what());
  } catch (...) {
    error = QStringLiteral("The scan failed.");
  }
  EndSlicedScan(error);
}

void TScanSession::EndSlicedScan(const QString& error) {
  stepTimer_.stop();
  scanning_ = false;
  if (!error.isEmpty()) emit ScanFailed(error);
  emit ScanFinished(!error.isEmpty() || state_.AbortScan);
}

TDriveRecInfo* TScanSession::PrepareDriveScan(QChar letter) {
  TDriveRecInfo* rec = Drive(letter);
  if (rec && (rec->Node || rec->Loaded)) return nullptr;  // in the tree already: a rescan takes it out first
  if (!rec) {
    rec = new TDriveRecInfo();
    rec->Letter = static_cast<char>(letter.unicode());
    state_.Drives.push_back(rec);
  }
  scannedDrives_ += letter;
  return rec;
}

bool TScanSession::ScanDrive(const QString& driveText) {
  if (driveText.isEmpty() || scanning_) return false;
  const QChar letter = driveText[0].toUpper();
  TDriveRecInfo* rec = PrepareDriveScan(letter);
  if (!rec) return false;
  RunScan([&] { scanner_->ScanDrive(letter + driveText.mid(1), rec); });
  return true;
}

bool TScanSession::StartScanDrive(const QString& driveText) {
  if (driveText.isEmpty() || scanning_) return false;
  const QChar letter = driveText[0].toUpper();
  TDriveRecInfo* rec = PrepareDriveScan(letter);
  if (!rec) return false;
  StartScan([&] { scanner_->BeginScanDrive(letter + driveText.mid(1), rec); });
  return true;
}

void TScanSession::DeleteDriveNode(TDriveRecInfo* rec) {
  if (!rec->Node) return;
  tree_.FreeSubtreeRecords(rec->Node, true);
  tree_.DeleteNode(rec->Node);
  rec->Node = nullptr;
}

TDriveRecInfo* TScanSession::AddLoadedDrive(std::shared_ptr<const TLoadedScanInfo> info,
                                            const std::function<TTreeNode*(TFolderTree&, const QString&)>& build) {
  const QChar letter = FreeLoadedLetter();
  if (scanning_ || !info || letter.isNull()) return nullptr;
  TTreeNode* node = build(tree_, LoadedScanNodeText(*info));
  if (!node) return nullptr;
  tree_.SetStateIndex(node, static_cast<int32_t>(letter.unicode() & 0xFF) << 8);
  auto* rec = new TDriveRecInfo();
  rec->Letter = static_cast<char>(letter.unicode());
  rec->Node = node;
  rec->Name = letter + node->Text();
  rec->Loaded = std::move(info);
  state_.Drives.push_back(rec);
  scannedDrives_ += letter;
  emit TreeChanged();
  return rec;
}

QChar TScanSession::FreeLoadedLetter() const {
  for (const char* c = LoadedScanLetters; *c; ++c)
    if (!Drive(QLatin1Char(*c))) return QLatin1Char(*c);
  return {};
}

const TLoadedScanInfo* TScanSession::LoadedScan(QChar letter) const {
  const TDriveRecInfo* rec = letter.isNull() ? nullptr : Drive(letter);
  return rec ? rec->Loaded.get() : nullptr;
}

const TLoadedScanInfo* TScanSession::LoadedScanOf(const TTreeNode* node) const {
  if (!node) return nullptr;
  while (node->Parent()) node = node->Parent();
  return LoadedScan(NodeDriveLetter(node));
}

const TLoadedScanInfo* TScanSession::LoadedScanAt(const QString& drivePath) const {
  if (drivePath.size() < 2 || drivePath[1] != QLatin1Char(':')) return nullptr;
  return LoadedScan(drivePath[0]);
}

bool TScanSession::RemoveDriveNode(QChar letter) {
  if (scanning_) return false;
  letter = letter.toUpper();
  TDriveRecInfo* rec = Drive(letter);
  if (!rec || !IsScanned(letter)) return false;
  // Nothing but the file can bring a loaded drive back.
  if (rec->Loaded) return RemoveDrive(letter);
  scannedDrives_.remove(letter);
  DeleteDriveNode(rec);
  emit TreeChanged();
  return true;
}

bool TScanSession::RescanDrive(QChar letter) {
  if (LoadedScan(letter) || !RemoveDriveNode(letter)) return false;
  return ScanDrive(Drive(letter)->Name);
}

bool TScanSession::RemoveDrive(QChar letter) {
  if (scanning_) return false;
  letter = letter.toUpper();
  TDriveRecInfo* rec = Drive(letter);
  if (!rec) return false;
  scannedDrives_.remove(letter);
  DeleteDriveNode(rec);
  state_.Drives.erase(std::find(state_.Drives.begin(), state_.Drives.end(), rec));
  delete rec;
  emit TreeChanged();
  return true;
}

bool TScanSession::RescanFolder(TTreeNode* node) {
  if (!node || scanning_ || LoadedScanOf(node)) return false;
  RunScan([&] { scanner_->RescanFolder(NodePath(node), node); });
  return true;
}

bool TScanSession::StartRescanFolder(TTreeNode* node) {
  if (!node || scanning_ || LoadedScanOf(node)) return false;
  StartScan([&] { scanner_->BeginRescanFolder(NodePath(node), node); });
  return true;
}

bool TScanSession::RemoveFolder(TTreeNode* node, int64_t size) {
  // A loaded scan's folders are as the file lists them: nothing on this machine removes them.
  if (!node || !node->Parent() || scanning_ || LoadedScanOf(node)) return false;
  const TFolderSize* rec = node->Data();
  SubtractFromAncestors(node->Parent(), node, rec ? rec->TotalFolders + 1 : 1, rec ? rec->TotalFiles : 0,
                        rec ? rec->TotalWasted : 0, size);
  tree_.FreeSubtreeRecords(node, true);
  tree_.DeleteNode(node);
  emit TreeChanged();
  return true;
}

TScanSession::TCountedFile TScanSession::CountedFile(TTreeNode* parent, const QString& path, int64_t size) const {
  TCountedFile file;
  file.Size = size;
  const std::optional<QByteArray> host = DriveToHost(path);
  struct statx st {};
  if (!parent || !host || LoadedScanOf(parent) ||
      ::statx(AT_FDCWD, host->constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_NLINK | STATX_INO | STATX_BLOCKS, &st) != 0)
    return file;
  file.OnDisk = S_ISDIR(st.stx_mode) ? 0 : OnDiskBytes(st);
  if (!S_ISREG(st.stx_mode) || st.stx_nlink < 2) return file;
  file.Device = LinkDevice(st);
  file.Inode = st.stx_ino;
  const TTreeNode* owner = tree_.Links().Owner(RootNode(parent), file.Device, file.Inode);
  if (owner == parent)
    file.OwnsLink = true;
  else if (owner)
    file.Size = file.OnDisk = 0;  // its bytes count in another folder
  return file;
}

bool TScanSession::RemoveFile(TTreeNode* parent, QChar letter, const TCountedFile& file) {
  if (!parent || scanning_ || LoadedScanOf(parent)) return false;
  if (file.OwnsLink) tree_.ForgetLink(RootNode(parent), file.Device, file.Inode);
  const int64_t size = file.Size;
  const TDriveRecInfo* drive = Drive(letter);
  const int64_t cluster = drive && drive->ClusterSize > 0 ? drive->ClusterSize : 0;
  const int64_t slack = cluster > 0 && size % cluster ? cluster - size % cluster : 0;
  SubtractFromAncestors(parent, nullptr, 0, 1, slack, size, file.OnDisk);
  emit TreeChanged();
  return true;
}

TTreeNode* TScanSession::FindFolder(const QString& path) const {
  if (path.size() < 3 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return nullptr;
  const QChar letter = path[0].toUpper();
  const TDriveRecInfo* rec = Drive(letter);
  if (!rec || !rec->Node) return nullptr;
  if (path.size() == 3) return rec->Node;
  TVolumeInformation info;
  // A loaded scan keeps the names of the machine it was made on, where case counts.
  const bool caseSensitive =
      rec->Loaded || (GetVolumeInfo(letter + QStringLiteral(":\\"), info) && (info.FileSystemFlags & 1));
  return FindNodeByPath(rec->Node, path.mid(3), caseSensitive);
}

TTreeNode* TScanSession::NearestFolder(const QString& path) const {
  if (path.size() < 3 || path[1] != QLatin1Char(':') || path[2] != QLatin1Char('\\')) return nullptr;
  QString at = path;
  while (at.size() > 3 && at.endsWith(QLatin1Char('\\'))) at.chop(1);
  for (;;) {
    if (TTreeNode* node = FindFolder(at)) return node;
    if (at.size() <= 3) return nullptr;
    const qsizetype cut = at.lastIndexOf(QLatin1Char('\\'));
    at = cut <= 2 ? at.left(3) : at.left(cut);
  }
}

void TScanSession::Clear() {
  if (scanning_) return;
  for (TDriveRecInfo* rec : state_.Drives) delete rec;
  state_.Drives.clear();
  scannedDrives_.clear();
  tree_.Clear();
  emit TreeChanged();
}
