// The largest files and the file types of a subtree, from a walk of its files, against find and
// against a fixture whose types are known.

#include "scan/FileCensus.h"
#include "tests/support/Fixture.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <unistd.h>

namespace {

struct TFound {
  int64_t Size;
  QByteArray Path;
};

// find's view of the files below folder: size and path relative to it, largest first, equal
// sizes by path.
std::vector<TFound> FindFiles(const QByteArray& folder) {
  QProcess find;
  find.start(QStringLiteral("find"), {QString::fromLocal8Bit(folder), QStringLiteral("-mindepth"), QStringLiteral("1"),
                                      QStringLiteral("!"), QStringLiteral("-type"), QStringLiteral("d"),
                                      QStringLiteral("-printf"), QStringLiteral("%s %P\\n")});
  EXPECT_TRUE(find.waitForFinished(60000));
  std::vector<TFound> files;
  for (const QByteArray& line : find.readAllStandardOutput().split('\n')) {
    const int space = line.indexOf(' ');
    if (space > 0) files.push_back({line.left(space).toLongLong(), line.mid(space + 1)});
  }
  std::sort(files.begin(), files.end(), [](const TFound& a, const TFound& b) {
    return a.Size != b.Size ? a.Size > b.Size : a.Path < b.Path;
  });
  return files;
}

class FileCensusTest : public ::testing::Test {
protected:
  TFileCensus Census(const QString& path, int largest, int workers = -1) {
    TFileCensusRequest request;
    request.DrivePath = path;
    request.Largest = largest;
    request.Workers = workers;
    return TakeFileCensus(request);
  }

  TFixtureTree fx;
  TDriveScope drives{{{'T', fx.Root()}}};
};

TEST_F(FileCensusTest, LargestFilesAreFindsSortedWithTiesByPath) {
  // Many equal sizes, so that the ties decide who is in and in which order; deep folders and a
  // sparse file far larger than the rest.
  for (int i = 0; i < 300; ++i)
    fx.File("d" + QByteArray::number(i % 7) + "/e" + QByteArray::number(i % 3) + "/f" + QByteArray::number(i),
            (i * 7919) % 50 * 100);
  fx.File("sparse", int64_t{1} << 36);
  fx.Symlink("d1", "link");
  const std::vector<TFound> expected = FindFiles(fx.Root());
  for (const int workers : {0, 2}) {
    for (const int n : {1, 37, 100, 10000}) {
      SCOPED_TRACE(testing::Message() << n << " files, " << workers << " workers");
      const TFileCensus census = Census(QStringLiteral("T:\\"), n, workers);
      ASSERT_TRUE(census.Complete());
      const size_t count = std::min<size_t>(static_cast<size_t>(n), expected.size());
      ASSERT_EQ(census.Largest.size(), count);
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(census.Largest[i].Size, expected[i].Size) << i;
        EXPECT_EQ(census.Largest[i].Relative, expected[i].Path) << i;
      }
      EXPECT_EQ(census.Files, static_cast<int64_t>(expected.size()));
    }
  }
  // A subfolder: paths stay relative to it, and both path forms name the real file.
  const TFileCensus sub = Census(QStringLiteral("T:\\d3"), 5);
  const std::vector<TFound> inSub = FindFiles(fx.Path("d3"));
  ASSERT_EQ(sub.Largest.size(), 5u);
  EXPECT_EQ(sub.Largest[0].Relative, inSub[0].Path);
  EXPECT_EQ(sub.HostPathOf(sub.Largest[0]), fx.Path("d3/" + inSub[0].Path));
  EXPECT_EQ(sub.DrivePathOf(sub.Largest[0]), QStringLiteral("T:\\d3\\") + QString::fromLocal8Bit(inSub[0].Path).replace('/', '\\'));
}

TEST_F(FileCensusTest, TypesCountEveryNameAndTheBytesOnce) {
  fx.File("a/Notes.TXT", 100);
  fx.File("a/b/more.txt", 300);
  fx.File(".bashrc", 50);
  fx.File("Makefile", 10);
  fx.File("trailing.", 5);
  fx.File("pack.tar.GZ", 1000);
  fx.File("a/.hidden.Gz", 20);
  fx.File("big.bin", 7000, false);
  fx.Dir("c");
  ASSERT_EQ(::link(fx.Path("big.bin").constData(), fx.Path("c/again.bin").constData()), 0);
  fx.Symlink("somewhere", "pointer.lnk");
  fx.File("folder.with.dots/inside", 1);

  const TFileCensus census = Census(QStringLiteral("T:\\"), 100);
  ASSERT_TRUE(census.Complete());
  std::map<QString, TFileType> types;
  for (const TFileType& t : census.Types) types[t.Extension] = t;
  struct Expected {
    const char* ext;
    int64_t count, bytes;
  };
  const Expected expected[] = {
      {"bin", 2, 7000}, {"gz", 2, 1020}, {"txt", 2, 400}, {"(none)", 4, 50 + 10 + 5 + 1}, {"lnk", 1, 9},
  };
  ASSERT_EQ(types.size(), std::size(expected));
  for (const Expected& e : expected) {
    const TFileType& t = types[QLatin1String(e.ext)];
    EXPECT_EQ(t.Count, e.count) << e.ext;
    EXPECT_EQ(t.Bytes, e.bytes) << e.ext;
    EXPECT_NEAR(t.Share, 100.0 * static_cast<double>(e.bytes) / static_cast<double>(census.Bytes), 1e-9) << e.ext;
  }
  EXPECT_EQ(types[QStringLiteral("bin")].OnDisk, 8192) << "the written file's blocks, once";
  EXPECT_EQ(census.Bytes, 7000 + 1020 + 400 + 66 + 9);
  EXPECT_EQ(census.Files, 11);
  // By bytes, largest first.
  ASSERT_EQ(census.Types.size(), 5u);
  EXPECT_EQ(census.Types[0].Extension, QStringLiteral("bin"));
  EXPECT_EQ(census.Types[4].Extension, QStringLiteral("lnk"));
  // The file with two names is listed once among the largest.
  const auto bins = std::count_if(census.Largest.begin(), census.Largest.end(),
                                  [](const TLargeFile& f) { return f.Size == 7000; });
  EXPECT_EQ(bins, 1);

  // Only one type's largest files.
  TFileCensusRequest request;
  request.DrivePath = QStringLiteral("T:\\");
  request.OnlyExtension = QStringLiteral("gz");
  const TFileCensus gz = TakeFileCensus(request);
  ASSERT_EQ(gz.Largest.size(), 2u);
  EXPECT_EQ(gz.Largest[0].Relative, "pack.tar.GZ");
  EXPECT_EQ(gz.Largest[1].Relative, "a/.hidden.Gz");
}

TEST_F(FileCensusTest, ExtensionRules) {
  const struct {
    const char* name;
    const char* type;
  } cases[] = {{"a.TXT", "txt"}, {".profile", "(none)"}, {"README", "(none)"}, {"x.", "(none)"},
               {"..double", "double"}, {"a.b.C", "c"}, {".a.B", "b"}, {"Ünï.ÇÖDË", "çödë"}};
  for (const auto& c : cases) EXPECT_EQ(FileExtensionOf(c.name), QString::fromUtf8(c.type)) << c.name;
  EXPECT_EQ(FileExtensionOf("name.\xff\xfe"), QString::fromUtf16(u"\xDCFF\xDCFE")) << "undecodable bytes kept";
}

TEST_F(FileCensusTest, StopsWhenCancelledAndRefusesWhatCannotBeWalked) {
  for (int i = 0; i < 2000; ++i) fx.File("d" + QByteArray::number(i % 40) + "/f" + QByteArray::number(i), i);
  std::atomic<bool> cancel{true};
  TFileCensusRequest request;
  request.DrivePath = QStringLiteral("T:\\");
  request.Cancel = &cancel;
  const TFileCensus stopped = TakeFileCensus(request);
  EXPECT_TRUE(stopped.Cancelled);
  EXPECT_FALSE(stopped.Complete());
  EXPECT_LT(stopped.Files, 2000);

  // Stopped from the first progress report, which comes with the first folder.
  cancel = false;
  int reports = 0;
  request.Progress = [&](const TFileWalkProgress&) {
    ++reports;
    cancel = true;
  };
  const TFileCensus midway = TakeFileCensus(request);
  EXPECT_TRUE(midway.Cancelled);
  EXPECT_EQ(reports, 1);
  EXPECT_LT(midway.Files, 2000);

  request.DrivePath = QStringLiteral("T:\\missing");
  request.Cancel = nullptr;
  const TFileCensus missing = TakeFileCensus(request);
  EXPECT_FALSE(missing.Complete());
  EXPECT_FALSE(missing.Refusal.isEmpty());
}

}  // namespace
