#include "charts/DriveShare.h"

#include <algorithm>

TDriveShare DriveShareOf(int64_t figure, int64_t driveTotal) {
  TDriveShare share;
  if (driveTotal <= 0 || figure <= 0) return share;
  if (figure > driveTotal) {
    share.Percent = 100;
    share.LargerThanDrive = true;
    return share;
  }
  // figure <= driveTotal: the quotient is at most 100, and long double keeps the product exact
  // enough for any drive size.
  share.Percent = static_cast<int>(static_cast<long double>(figure) * 100 / static_cast<long double>(driveTotal));
  return share;
}

QString DriveShareCaption(QChar letter, bool largerThanDrive) {
  return (largerThanDrive ? QStringLiteral("larger than ") : QStringLiteral("of ")) + letter + QLatin1Char(':');
}
