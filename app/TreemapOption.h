#pragma once
// korvane-scan's treemap options: "--treemap OUTFILE [--size WIDTHxHEIGHT]" before the folder.
// Taken out of the argument list before the rest is read; after the scan the picture of the
// scanned folder is written.

#include <QByteArray>
#include <QSize>

#include <optional>

class TTreeNode;

// The usage lines of these options.
extern const char TreemapUsageText[];

struct TTreemapRequest {
  QByteArray OutFile;
  QSize Size{1600, 1000};
  bool Wanted() const { return !OutFile.isEmpty(); }
};

// Removes the treemap options from argc/argv (up to "--" or the first argument that is not an
// option). Returns the exit code when they are wrong (2 for bad arguments, with a message on
// stderr), or none.
std::optional<int> TakeTreemapOptions(int& argc, char** argv, TTreemapRequest& request);
// Before the scan: 1 with a message when OUTFILE's folder cannot be written to, else none.
std::optional<int> CheckTreemapTarget(const TTreemapRequest& request);
// Writes the treemap of node and prints "treemap: OUTFILE" and "treemap-tiles: N"; 0 when
// written, 1 with a message on stderr when not.
int WriteTreemapRequest(const TTreemapRequest& request, TTreeNode& node);
