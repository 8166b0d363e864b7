#pragma once
// Reaching a drive path's host entry without the host's path-length limit: the path is walked
// from the drive root one component at a time, each folder opened relative to the one before.

#include <QByteArray>
#include <QString>

// An open folder and the raw name of an entry in it.
class THostLocation {
public:
  THostLocation() = default;
  ~THostLocation();
  THostLocation(const THostLocation&) = delete;
  THostLocation& operator=(const THostLocation&) = delete;

  int DirFd = -1;       // the folder holding the entry (for a drive root: the root itself)
  QByteArray Name;      // raw name of the entry in DirFd; "." for a drive root
  QByteArray HostPath;  // the full host path, for messages and for programs we start
};

// Opens the folder that holds the last component of drivePath. Intermediate components must be
// real folders (links are not followed). False when the drive is unknown or a folder on the way
// is missing.
bool LocateDrivePath(const QString& drivePath, THostLocation& out);
