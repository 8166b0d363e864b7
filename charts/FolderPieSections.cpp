#include "charts/FolderPieSections.h"

#include "config/PieColors.h"
#include "platform/DirEnum.h"
#include "scan/FolderSize.h"
#include "scan/FolderTree.h"
#include "scan/Format.h"
#include "scan/PathFunctions.h"

#include <algorithm>
#include <cmath>

namespace {

enum class TAccumulate { None, Folders, Files };

class TBuilder {
public:
  TBuilder(const TFolderPieSettings& settings, TFolderPieSections& out) : s_(settings), out_(out) {}

  void Add(const QString& name, const QString& parentPath, int colorIndex, TSectionKind kind, TAccumulate accumulate,
           TTreeNode* node, double minimum, int64_t wasted, int64_t size, int64_t total) {
    const int64_t value = s_.IncludeWasted ? size + wasted : size;
    double angle;
    if (total != 0)
      angle = static_cast<double>(value) * 360.0 / static_cast<double>(total);
    else
      angle = value == 0 ? 360.0 : 0.0;
    if (angle > minimum) {
      TSectionInfo info;
      info.Node = node;
      info.Size = size;
      info.Wasted = wasted;
      info.Cursor = node && name != QLatin1String(FilesInThisFolderText) ? PieCursorZoomIn : PieCursorArrow;
      info.Name = name;
      info.Path = parentPath.isEmpty() ? name : AddBackslash(parentPath) + name;
      info.Kind = kind;
      out_.Infos.push_back(std::move(info));
      TPieSlice slice;
      slice.Caption = name + Suffix(size, wasted, angle);
      slice.ColorIndex = colorIndex;
      slice.Angle = angle;
      slice.Node = node;
      slice.InfoIndex = static_cast<int>(out_.Infos.size()) - 1;
      out_.Slices.push_back(std::move(slice));
      return;
    }
    switch (accumulate) {
      case TAccumulate::Folders:
        out_.OtherFoldersSize += size;
        out_.OtherFoldersWasted += wasted;
        break;
      case TAccumulate::Files:
        out_.OtherFilesSize += size;
        out_.OtherFilesWasted += wasted;
        break;
      case TAccumulate::None:
        break;
    }
  }

private:
  QString Suffix(int64_t size, int64_t wasted, double angle) const {
    QString suffix;
    switch (s_.ShowPercent) {
      case 1:
        suffix = QString::number(static_cast<int64_t>(std::trunc(angle * 100.0 / 360.0))) + QLatin1Char('%');
        break;
      case 2:
        suffix = FormatSize(s_.IncludeWasted ? size + wasted : size);
        break;
      default:
        break;
    }
    return suffix.isEmpty() ? suffix : QStringLiteral(" (") + suffix + QLatin1Char(')');
  }

  const TFolderPieSettings& s_;
  TFolderPieSections& out_;
};

// Ranks the subfolder slices by their angle, largest first; equal angles by name.
void RankFolders(std::vector<TPieSlice>& slices, const std::vector<TSectionInfo>& infos) {
  std::vector<size_t> folders;
  for (size_t i = 0; i < slices.size(); ++i)
    if (slices[i].ColorIndex == pcNormalFolder) folders.push_back(i);
  std::stable_sort(folders.begin(), folders.end(), [&](size_t a, size_t b) {
    if (slices[a].Angle != slices[b].Angle) return slices[a].Angle > slices[b].Angle;
    const QString& nameA = infos[static_cast<size_t>(slices[a].InfoIndex)].Name;
    const QString& nameB = infos[static_cast<size_t>(slices[b].InfoIndex)].Name;
    const int byName = nameA.compare(nameB, Qt::CaseInsensitive);
    return byName != 0 ? byName < 0 : nameA < nameB;
  });
  for (size_t rank = 0; rank < folders.size(); ++rank) slices[folders[rank]].FolderRank = static_cast<int>(rank);
}

}  // namespace

TFolderPieSections BuildFolderPieSections(TTreeNode& node, const QString& path, const TFolderPieSettings& settings) {
  TFolderPieSections out;
  if (!node.Data()) return out;
  const TFolderSize& rec = *node.Data();
  const int64_t totalWasted = TotalWastedAtIndex(rec, settings.ClusterIndex);

  TSectionInfo self;
  self.Node = &node;
  self.Cursor = node.Parent() ? PieCursorZoomOut : PieCursorArrow;
  self.Name = node.Text();
  self.Size = rec.TotalSize;
  self.Wasted = totalWasted;
  self.Path = path;
  self.Kind = TSectionKind::Folder;
  out.Infos.push_back(std::move(self));

  TBuilder b(settings, out);
  const int64_t total = rec.TotalSize + (settings.IncludeWasted ? totalWasted : 0);
  if (total == 0) {
    b.Add(QString::fromLatin1(EmptyFolderText), QString(), 4, TSectionKind::Summary, TAccumulate::None, nullptr, 0, 0,
          0, 0);
    return out;
  }
  for (int i = 0; i < node.Count(); ++i) {
    TTreeNode* child = node.Child(i);
    const TFolderSize* childRec = child->Data();
    // A folder the scan has not reached yet counts as empty.
    b.Add(child->Text(), path, pcNormalFolder, TSectionKind::Folder, TAccumulate::Folders, child, settings.MinFolderAngle,
          childRec ? TotalWastedAtIndex(*childRec, settings.ClusterIndex) : 0, childRec ? childRec->TotalSize : 0,
          total);
  }
  if (settings.ShowFiles) {
    TFindFile find;
    TFindData entry;
    if (find.Open(AddBackslash(path))) {
      while (find.Next(entry)) {
        if (entry.Attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        b.Add(entry.Name, path, 5, TSectionKind::File, TAccumulate::Files, nullptr, settings.MinFileAngle,
              ClusterSlack(settings.DriveClusterSize, entry.Size), entry.Size, total);
      }
    }
    b.Add(QString::fromLatin1(OtherSmallerFilesText), QString(), 6, TSectionKind::Summary, TAccumulate::None, nullptr,
          0, out.OtherFilesWasted, out.OtherFilesSize, total);
  } else {
    b.Add(QString::fromLatin1(FilesInThisFolderText), QString(), 3, TSectionKind::Summary, TAccumulate::Folders, &node,
          0, FilesWastedAtIndex(rec, settings.ClusterIndex), rec.FilesSize, total);
  }
  b.Add(QString::fromLatin1(OtherSmallerFoldersText), QString(), 4, TSectionKind::Summary, TAccumulate::None, nullptr,
        0, out.OtherFoldersWasted, out.OtherFoldersSize, total);
  RankFolders(out.Slices, out.Infos);
  return out;
}
