#pragma once
// korvane-scan's options about files: --largest N lists the N largest files of the folder and
// --types its file types, from a walk of its files after the scan.

#include <QString>
#include <QStringList>

struct TScanFileOptions {
  int Largest = 0;  // 0: no "file:" lines
  bool Types = false;
  bool Wanted() const { return Largest > 0 || Types; }
};

// Takes --largest N (or --largest=N) and --types out of argv (up to a "--"), leaving the other
// arguments in order. False with *error set for a bad count.
bool TakeScanFileOptions(int& argc, char** argv, TScanFileOptions& options, QString* error);

// The usage lines of these options, to be joined to the program's usage text.
#define KORVANE_SCAN_FILE_OPTIONS_USAGE                                                      \
  "  --largest N    also list the N largest files (1 to 10000), largest first, as\n"     \
  "                 \"file: BYTES HOSTPATH\" lines after the usual output\n"              \
  "  --types        also list the file types as \"type: EXT COUNT BYTES ON-DISK\"\n"     \
  "                 lines, by bytes\n"

// Walks the folder at drivePath and prints "file: BYTES HOSTPATH" lines (largest first, equal
// sizes by path) and "type: EXT COUNT BYTES ON-DISK" lines (by bytes, equal bytes by name).
// Folders the walk cannot read are named on stderr unless already in named. Returns false when
// the walk did not complete.
bool PrintScanFiles(const QString& drivePath, const TScanFileOptions& options, const QStringList& named);
