#include "reports/FolderInfoRows.h"

#include "platform/DirEnum.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"
#include "scan/VolumeInfo.h"

const std::array<const char*, FolderInfoRowCount> FolderInfoRowLabels = {
    "Long name",    "MS-DOS name",  "Last access date", "Last change date", "Creation date",   "Attributes",
    "",             "Read-Only files", "Hidden files",  "System files",     "Compressed files"};

namespace {

QString FlagText(uint32_t attributes, uint32_t flag, const char* word) {
  return (attributes & flag ? QStringLiteral("The folder contains ") : QStringLiteral("No ")) + QLatin1String(word) +
         QStringLiteral(" files");
}

QString TimeText(uint64_t fileTime) {
  return IsZeroFileTime(fileTime) ? QStringLiteral("(unknown)") : FormatFileTime(fileTime);
}

QString ObjectsHint(int32_t files, int32_t folders) {
  return FormatCount(files) + QStringLiteral(" file(s) and ") + FormatCount(folders) + QStringLiteral(" subfolder(s)");
}

TFolderInfoFigure Bytes(int64_t value) { return {FormatSize(value), FormatBytes(value)}; }

void Figures(std::array<TFolderInfoFigure, FolderInfoFigureCount>& out, int64_t size, int64_t wasted, int32_t files,
             int32_t folders) {
  out[ffSize] = Bytes(size);
  out[ffAllocated] = Bytes(size + wasted);
  out[ffWasted] = Bytes(wasted);
  out[ffObjects] = {FormatCount64(int64_t{files} + folders), ObjectsHint(files, folders)};
}

}  // namespace

TFolderInfo BuildFolderInfo(const TTreeNode& node, const QString& path, int32_t clusterIndex) {
  TFolderInfo info;
  if (!node.Data()) return info;
  const TFolderSize& rec = *node.Data();
  info.Root = IsDriveRoot(path);
  const QString displayName = DriveDisplayName(path);
  info.TypeText = info.Root ? QStringLiteral("Root Folder of Drive") : QStringLiteral("File Folder");
  info.PathText = info.Root ? displayName : path;

  // The folder's own entry: a drive root has none to find.
  TFindData entry;
  const bool found = !info.Root && FindEntry(RemoveBackslash(path), entry);
  auto& v = info.Values;
  v[fiLongName] = displayName;
  // The file systems here keep no separate short name: the long name in capitals stands for it.
  v[fiShortName] = found ? displayName.toUpper() : QString();
  v[fiLastAccess] = TimeText(rec.LastAccess);
  v[fiLastChange] = TimeText(rec.LastChange);
  v[fiCreation] = found ? TimeText(entry.CreationTime) : QStringLiteral("(unknown)");
  v[fiAttributes] = found ? AttributesText(entry.Attributes) : QString();
  v[fiReadOnly] = FlagText(rec.Attributes, 0x01, "Read-Only");
  v[fiHidden] = FlagText(rec.Attributes, 0x02, "Hidden");
  v[fiSystem] = FlagText(rec.Attributes, 0x04, "System");
  v[fiCompressed] = FlagText(rec.Attributes, 0x800, "Compressed");

  Figures(info.Tree, rec.TotalSize, TotalWastedAtIndex(rec, clusterIndex), rec.TotalFiles, rec.TotalFolders);
  Figures(info.Folder, rec.FilesSize, FilesWastedAtIndex(rec, clusterIndex), rec.Files, rec.Folders);
  info.TreeOnDisk = Bytes(rec.TotalOnDisk);
  info.FolderOnDisk = Bytes(FilesOnDisk(node));
  return info;
}
