#include "cleanup/MoveTargets.h"

#include "scan/FolderSize.h"
#include "scan/VolumeInfo.h"

TFolderWaste WasteOf(const TFolderSize& rec) {
  TFolderWaste waste;
  waste.shown = SelectedTotalWasted(rec);
  for (int i = 1; i <= StandardClusterCount; ++i) waste.at[static_cast<size_t>(i)] = TotalWastedAt(rec, i);
  return waste;
}

std::vector<TDriveCandidate> DriveCandidates() {
  std::vector<TDriveCandidate> out;
  const QString letters = TDriveTable::Instance().Letters();
  for (const QChar letter : letters) {
    TDriveCandidate c;
    c.letter = static_cast<char>(letter.toUpper().toLatin1());
    c.type = DriveTypeOf(letter);
    const QString root = QString(letter) + QStringLiteral(":\\");
    // A RAM disk is never offered, so its figures are not even asked for.
    if (c.type != TDriveType::RamDisk && c.type != TDriveType::Removable && c.type != TDriveType::CdRom) {
      c.clusterSize = ClusterSizeOf(root);
      c.caption = DriveDisplayName(root);
    }
    out.push_back(c);
  }
  return out;
}

std::vector<TGainRow> GainRows(int32_t sourceClusterSize, const TFolderWaste& waste,
                               const std::vector<TDriveCandidate>& candidates) {
  std::vector<TGainRow> rows;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    for (const TDriveCandidate& c : candidates) {
      if (c.letter != letter) continue;
      if (c.type == TDriveType::Removable || c.type == TDriveType::CdRom || c.type == TDriveType::RamDisk) continue;
      if (c.clusterSize < 0 || c.clusterSize >= sourceClusterSize) continue;
      int64_t there = 0;
      for (int i = 1; i <= StandardClusterCount; ++i)
        if (StandardClusterSizes[static_cast<size_t>(i)] == c.clusterSize) there = waste.at[static_cast<size_t>(i)];
      TGainRow row;
      row.letter = static_cast<char>(letter - 'A' + 'a');
      row.caption = c.caption;
      row.clusterSize = c.clusterSize;
      row.gain = waste.shown - there;
      rows.push_back(row);
    }
  return rows;
}

QString ProposedTarget(const QString& shownFolder, const QString& sourcePath) {
  QString source = sourcePath;
  while (source.endsWith(QLatin1Char('\\')) && source.size() > 3) source.chop(1);
  const QString name = source.mid(source.lastIndexOf(QLatin1Char('\\')) + 1);
  QString folder = shownFolder;
  if (!folder.endsWith(QLatin1Char('\\'))) folder += QLatin1Char('\\');
  return folder + name;
}

QString StartFolderFor(const QString& sourcePath) {
  QString source = sourcePath;
  while (source.endsWith(QLatin1Char('\\')) && source.size() > 3) source.chop(1);
  if (source.size() < 3) return source;
  const QString root = source.left(3);
  QStringList parts = source.mid(3).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  // Drop the folder's own name and its parent's: what is left is where the parent sits.
  if (parts.size() <= 2) return root;
  parts.resize(parts.size() - 2);
  return root + parts.join(QLatin1Char('\\'));
}

QString GainListText(bool anyDrive) {
  return anyDrive ? QStringLiteral("You should move the folder to one of the following drives, as they have smaller "
                                   "cluster sizes:")
                  : QStringLiteral("No other drive has a smaller cluster size than this folder's drive: moving the "
                                   "folder to another drive would not make it waste less.");
}

bool TargetAcceptable(const QString& target, const QString& sourcePath) {
  return !target.trimmed().isEmpty() && target != sourcePath;
}
