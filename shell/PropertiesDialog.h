#pragma once
// The properties of one item (file, link or folder): what the properties dialog shows, read from
// the host entry, and the dialog itself.

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>

class QLabel;
class TFolderSize;

struct TItemProperties {
  bool Found = false;  // false when the item cannot be reached
  bool IsFolder = false;
  bool IsDriveRoot = false;
  QString Name;
  QString Type;
  QString Location;  // the drive path of the folder holding the item (the drive's own for a root)
  QString HostPath;
  int64_t Size = 0;
  int64_t SizeOnDisk = 0;  // size plus the slack of every file at the drive's cluster size
  int32_t Files = 0;       // folders only: files and folders below it, at every depth
  int32_t Folders = 0;
  uint64_t Created = 0;  // FILETIME; 0 when the file system does not know it
  uint64_t Modified = 0;
  uint64_t Accessed = 0;
  QString Permissions;  // "rwxr-xr-x (755)"
  QString Owner;        // "user (group)"
};

// Reads the properties of drivePath. For a folder, known (when given) supplies the size, size on
// disk and contents as the scan found them; otherwise a walk of the folder adds them up (on the
// folder's own file system, without following links).
TItemProperties ReadItemProperties(const QString& drivePath, const TFolderSize* known = nullptr);

class TItemPropertiesDialog : public QDialog {
  Q_OBJECT
public:
  explicit TItemPropertiesDialog(const TItemProperties& properties, QWidget* parent = nullptr);

  // The value shown on the line of caption ("Size:"), empty when there is no such line.
  QString Value(const QString& caption) const;

private:
  void AddLine(const QString& caption, const QString& value);
};

// Shows the properties dialog of drivePath; false (after a message) when the item cannot be
// reached. known as for ReadItemProperties.
bool ShowItemProperties(const QString& drivePath, QWidget* parent = nullptr, const TFolderSize* known = nullptr);

// Tests: the dialog is passed to runner instead of being shown modally; null restores exec().
void SetItemPropertiesRunner(std::function<void(TItemPropertiesDialog&)> runner);
