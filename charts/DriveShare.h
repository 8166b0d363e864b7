#pragma once
// The share of a drive a figure takes, as the pie's header shows it. Sizes are file lengths, so
// a sparse file can make a folder "larger" than the drive it is on: such a figure is never shown
// as more than the whole drive, but as larger than the drive.

#include <QChar>
#include <QString>

#include <cstdint>

struct TDriveShare {
  int Percent = 0;               // 0..100
  bool LargerThanDrive = false;  // the figure exceeds the drive's whole size
};

// The whole percentage figure takes of a drive of driveTotal bytes (0 when that is unknown).
TDriveShare DriveShareOf(int64_t figure, int64_t driveTotal);

// The caption beside the share: "of C:", or "larger than C:".
QString DriveShareCaption(QChar letter, bool largerThanDrive);
