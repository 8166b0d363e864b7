#pragma once
// Fixture trees in temporary folders, drives mapped to them, and an independent walker that
// adds a tree up by other means than the scanner, to check the scanner against.

#include "platform/DriveTable.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// A temporary folder removed with everything in it (however deep) at the end of the test.
class TFixtureTree {
public:
  TFixtureTree();
  ~TFixtureTree();
  TFixtureTree(const TFixtureTree&) = delete;
  TFixtureTree& operator=(const TFixtureTree&) = delete;

  const QByteArray& Root() const { return root_; }
  QByteArray Path(const QByteArray& rel) const;

  void Dir(const QByteArray& rel);
  // A file of size bytes; sparse (no data written) when sparse is true.
  void File(const QByteArray& rel, int64_t size, bool sparse = true);
  void Symlink(const QByteArray& target, const QByteArray& rel);
  void SetTimes(const QByteArray& rel, int64_t accessSeconds, int64_t writeSeconds);
  void Remove(const QByteArray& rel);

private:
  QByteArray root_;
};

// Removes a host folder and everything below it, without the path-length limit.
void RemoveTree(const QByteArray& hostPath);

// Maps drive letters for the lifetime of the object and restores the previous table afterwards.
class TDriveScope {
public:
  explicit TDriveScope(std::vector<TDriveMapping> mappings);
  ~TDriveScope();
  TDriveScope(const TDriveScope&) = delete;
  TDriveScope& operator=(const TDriveScope&) = delete;

private:
  std::vector<TDriveMapping> saved_;
};

struct TWalkTotals {
  int64_t Bytes = 0;
  int32_t Files = 0;
  int32_t Folders = 0;  // below the root, the root not counted
  int64_t Wasted = 0;   // at the given cluster size
  std::array<int64_t, 8> WastedAt{};  // at the standard sizes 1..7
  uint64_t LatestAccess = 0;
  uint64_t LatestWrite = 0;
  uint32_t Attributes = 0;
};

// Walks hostRoot with readdir and lstat on whole paths, staying on the root's file system and
// not following links, and adds it all up. A file with several names counts as a file at each
// name and with its bytes at the first one met.
TWalkTotals IndependentWalk(const QByteArray& hostRoot, int32_t clusterSize);
