#pragma once
// "Colour each folder": whether the pie's subfolder sections take colours of their own
// (FolderColors.h) or all the "Pie - Normal Folder" colour. Kept as ColorEachFolder in the
// program's "Options" section and written as soon as it changes. When nothing is stored it is on,
// unless the stored pie colours give "Pie - Normal Folder" a colour other than the default: a user
// who picked that colour keeps seeing it.

#include "config/PieColors.h"

#include <QObject>

class TFolderColorsSetting : public QObject {
  Q_OBJECT

public:
  // The stored value; when there is none (or it cannot be read), the default for these colours.
  void Load(const TPieColorTable& colors);
  bool ColorEachFolder() const { return colorEachFolder_; }
  // Stores the value and signals Changed when it differs. A store that cannot be written keeps
  // the value for this run.
  void SetColorEachFolder(bool on);

  static bool DefaultFor(const TPieColorTable& colors);

signals:
  void Changed();

private:
  bool colorEachFolder_ = true;
};

// The program's instance, which the pie page and the Options dialog share.
TFolderColorsSetting& FolderColorsSetting();
