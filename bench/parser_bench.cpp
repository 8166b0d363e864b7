// How the readers of outside input scale: each reader on inputs of the worst shapes found for it,
// at two sizes (1 MB and 10 MB by default). A reader that is linear takes about ten times as long
// on the larger input; one that is quadratic about a hundred times. The figures are CPU seconds of
// this process (so that other work on the machine changes them little) and wall seconds; the
// archive catalogue and the ZIP shapes include their file system work (in a scratch folder).
//
//   korvane-parser-bench [--mb SMALL,LARGE] [--only WORD]
//
// --only runs the shapes whose reader or shape name contains WORD ("catalogue", "zip"...).

#include "cleanup/ArchiveCatalogue.h"
#include "cleanup/ZipMaster.h"
#include "config/IniFile.h"
#include "config/RegistryHive.h"
#include "history/NcduReader.h"
#include "platform/HiddenList.h"
#include "platform/MountTable.h"
#include "reports/ReportRequest.h"
#include "shell/core/ToolsFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype MB = 1 << 20;

double CpuSeconds() {
  timespec t {};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double WallSeconds() {
  timespec t {};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// unit(i) for i = 0, 1, ... until size bytes.
QByteArray Fill(qsizetype size, const std::function<QByteArray(int)>& unit) {
  QByteArray out;
  out.reserve(size + 256);
  for (int i = 0; out.size() < size; ++i) out += unit(i);
  return out;
}

void WriteFile(const QByteArray& path, const QByteArray& bytes) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) std::perror(path.constData());
  if (fd >= 0) ::close(fd);
}

// A ZIP of empty files named name(0), name(1), ... of about size bytes; last (when given) added at
// the end.
void WriteZip(const QByteArray& path, qsizetype size, const std::function<QByteArray(int)>& name,
              const QByteArray& last = QByteArray()) {
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  archive_write_open_filename(a, path.constData());
  qsizetype written = 0;
  auto add = [&](const QByteArray& member) {
    archive_entry* e = archive_entry_new();
    archive_entry_copy_pathname(e, member.constData());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, 0);
    archive_write_header(a, e);
    archive_entry_free(e);
    written += 2 * member.size() + 100;  // local and central header
  };
  for (int i = 0; written < size; ++i) add(name(i));
  if (!last.isEmpty()) add(last);
  archive_write_close(a);
  archive_write_free(a);
}

struct TShape {
  const char* Reader;
  const char* Shape;
  // Prepares the input of about size bytes in folder; returns the work to time.
  std::function<std::function<void()>(qsizetype size, const QByteArray& folder)> Make;
};

// A catalogue of entries T0000000.ZIP ... with all three values; present: their archives exist.
QByteArray Catalogue(qsizetype size, const QByteArray& folder, bool present) {
  QByteArray descriptions = "[Descriptions]\r\n", names = "[FolderNames]\r\n", originals = "[OriginalPaths]\r\n";
  for (int i = 0; descriptions.size() + names.size() + originals.size() < size; ++i) {
    const QByteArray key = QByteArray::number(i, 16).toUpper().rightJustified(7, '0').prepend('T') + ".ZIP";
    descriptions += key + "=Folder number " + QByteArray::number(i) + " of the old projects\r\n";
    names += key + "=project" + QByteArray::number(i) + "\r\n";
    originals += key + "=T:\\work\\projects\\project" + QByteArray::number(i) + "\r\n";
    if (present) WriteFile(folder + '/' + key, "PK");
  }
  return descriptions + names + originals;
}

std::vector<TShape> Shapes() {
  std::vector<TShape> shapes;
  auto memory = [&shapes](const char* reader, const char* shape, std::function<QByteArray(qsizetype)> make,
                          std::function<void(const QByteArray&)> read) {
    shapes.push_back({reader, shape, [make, read](qsizetype size, const QByteArray&) {
                        const QByteArray input = make(size);
                        return std::function<void()>([input, read] { read(input); });
                      }});
  };
  const QString root = QStringLiteral("HKEY_CURRENT_USER");
  auto hive = [root](const QByteArray& bytes) {
    QString error;
    if (!TRegHive::Parse(bytes, root, &error)) std::printf("  (hive refused: %s)\n", qPrintable(error));
  };
  const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
  memory("registry hive", "many values in one key", [=](qsizetype n) {
    return header + "[HKEY_CURRENT_USER\\K]\n" + Fill(n, [](int i) { return "\"v" + QByteArray::number(i) + "\"=\"x\"\n"; });
  }, hive);
  memory("registry hive", "many keys", [=](qsizetype n) {
    return header + Fill(n, [](int i) { return "[HKEY_CURRENT_USER\\K\\" + QByteArray::number(i) + "]\n"; });
  }, hive);
  memory("registry hive", "deep keys", [=](qsizetype n) {
    QByteArray path = "HKEY_CURRENT_USER";
    return header + Fill(n, [&path](int) {
      path += "\\k";
      if (path.size() > 200) path = "HKEY_CURRENT_USER";
      return "[" + path + "]\n";
    });
  }, hive);
  memory("registry hive", "one long hex value", [=](qsizetype n) {
    return header + "[HKEY_CURRENT_USER\\K]\n\"b\"=hex:" + Fill(n, [](int i) { return QByteArray(i % 25 == 24 ? "00,\\\n  " : "ff,"); }) + "00\n";
  }, hive);

  auto ini = [](const QByteArray& bytes) {
    const TIniDocument doc = TIniDocument::Parse(bytes);
    for (const QString& section : doc.Sections()) (void)doc.Entries(section).size();
  };
  memory("INI file", "many keys in one section (read, list)", [](qsizetype n) {
    return "[S]\n" + Fill(n, [](int i) { return "k" + QByteArray::number(i) + "=v\n"; });
  }, ini);
  memory("INI file", "many sections (read, list)", [](qsizetype n) {
    return Fill(n, [](int i) { return "[s" + QByteArray::number(i) + "]\nk=v\n"; });
  }, [](const QByteArray& bytes) { (void)TIniDocument::Parse(bytes).Sections().size(); });
  memory("INI file", "one long line", [](qsizetype n) { return "[S]\nk=" + QByteArray(n, 'x'); }, ini);
  memory("INI file", "many keys set in one pass", [](qsizetype n) {
    return "[S]\n" + Fill(n, [](int i) { return "k" + QByteArray::number(i) + "=v\n"; });
  }, [](const QByteArray& bytes) {
    TIniDocument doc = TIniDocument::Parse(bytes);
    std::vector<std::pair<QString, QString>> values;
    for (const auto& [key, value] : doc.Entries(QStringLiteral("S"))) values.emplace_back(key + QStringLiteral("n"), value);
    doc.SetValues(QStringLiteral("S"), values);
  });

  auto tools = [](const QByteArray& bytes) { (void)ParseToolsFile(bytes).Entries.size(); };
  memory("Tools file", "many lines", [](qsizetype n) {
    return Fill(n, [](int i) { return "\"c" + QByteArray::number(i) + "\",\"hint\",cmd\n"; });
  }, tools);
  memory("Tools file", "one long quoted field", [](qsizetype n) { return "\"" + QByteArray(n, '"') + "\",h,c\n"; }, tools);

  auto hidden = [](const QByteArray& bytes) { (void)ParseHiddenList(bytes).size(); };
  memory(".hidden", "many names", [](qsizetype n) { return Fill(n, [](int i) { return "name" + QByteArray::number(i) + "\n"; }); }, hidden);
  memory(".hidden", "one long line", [](qsizetype n) { return QByteArray(n, 'n'); }, hidden);

  auto mounts = [](const QByteArray& bytes) {
    const std::vector<TMountEntry> table = ParseMountInfo(bytes);
    const TMountsBelow below(table, "/");
    for (const TMountEntry& e : table) (void)MountContaining(table, e.MountPoint + "/x");
  };
  memory("mount table", "many mounts in one folder", [](qsizetype n) {
    return Fill(n, [](int i) { return QByteArray::number(i + 2) + " 1 8:1 / /m/" + QByteArray::number(i) + " rw - ext4 /dev/sda1 rw\n"; });
  }, [](const QByteArray& bytes) {
    const std::vector<TMountEntry> table = ParseMountInfo(bytes);
    const TMountsBelow below(table, "/");
  });
  memory("mount table", "many mounts, each looked up", [](qsizetype n) {
    return Fill(n, [](int i) { return QByteArray::number(i + 2) + " 1 8:1 / /m/\\040" + QByteArray::number(i) + " rw - ext4 /dev/sda1 rw\n"; });
  }, [](const QByteArray& bytes) {
    const std::vector<TMountEntry> table = ParseMountInfo(bytes);
    const TMountsBelow below(table, "/");
    const TMountsBelow::Node* m = below.Root() ? below.Root()->Find("m") : nullptr;
    for (const TMountEntry& e : table)
      if (m) (void)m->Find(std::string_view(e.MountPoint.constData() + 3, size_t(e.MountPoint.size() - 3)));
  });
  memory("mount table", "one deep mount point", [](qsizetype n) {
    return "2 1 8:1 / /" + Fill(n, [](int) { return QByteArray("d/"); }) + "x rw - ext4 /dev/sda1 rw\n";
  }, mounts);

  auto ncdu = [](const QByteArray& bytes) {
    const TNcduScan scan = ReadNcduExport(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (!scan.Complete) std::printf("  (ncdu: %s)\n", qPrintable(scan.Error));
  };
  const QByteArray ncduHead = "[1,2,{\"progname\":\"x\",\"progver\":\"1\",\"timestamp\":1},\n[{\"name\":\"/r\"}";
  memory("ncdu JSON", "many files in one folder", [=](qsizetype n) {
    return ncduHead + Fill(n, [](int i) { return ",{\"name\":\"f" + QByteArray::number(i) + "\",\"asize\":1,\"dsize\":4096}"; }) + "]]";
  }, ncdu);
  memory("ncdu JSON", "many folders", [=](qsizetype n) {
    return ncduHead + Fill(n, [](int i) { return ",[{\"name\":\"d" + QByteArray::number(i) + "\"},{\"name\":\"f\",\"asize\":1}]"; }) + "]]";
  }, ncdu);
  memory("ncdu JSON", "deep nesting", [=](qsizetype n) {
    const int depth = int(n / 16);
    QByteArray out = ncduHead;
    out.reserve(n + 64);
    for (int i = 0; i < depth; ++i) out += ",[{\"name\":\"d\"}";
    out += QByteArray(depth, ']') + "]]";
    return out;
  }, ncdu);
  memory("ncdu JSON", "one long name", [=](qsizetype n) {
    return ncduHead + ",{\"name\":\"" + QByteArray(n, 'n') + "\",\"asize\":1}]]";
  }, ncdu);

  auto report = [](const QByteArray& bytes) {
    const QStringList args = QString::fromUtf8(bytes).split(QChar(0));
    (void)ParseReportCommandLine(args).Status;
  };
  memory("/R arguments", "many options", [](qsizetype n) {
    return "/RTXT" + QByteArray(1, '\0') + "C:\\" + QByteArray(1, '\0') + "out" +
           Fill(n, [](int) { return QByteArray("\0/SD:3\0/x", 9); });
  }, report);
  memory("/R arguments", "one long option", [](qsizetype n) {
    return "/RTXT" + QByteArray(1, '\0') + "C:\\" + QByteArray(1, '\0') + "out" + QByteArray(1, '\0') + "/T:" + QByteArray(n, '1');
  }, report);

  // The catalogue listing reads the catalogue, looks at each entry's archive and rewrites the
  // catalogue (stale entries removed, in one write).
  for (bool present : {true, false}) {
    shapes.push_back({"archive catalogue", present ? "many entries, archives there" : "many entries, archives gone (all removed)",
                      [present](qsizetype size, const QByteArray& folder) {
                        const QByteArray bin = folder + "/Archives Bin";
                        ::mkdir(bin.constData(), 0755);
                        WriteFile(bin + "/archives.ini", Catalogue(size, bin, present));
                        return std::function<void()>([bin, present] {
                          const size_t rows = TArchiveCatalogue(bin).List().size();
                          if (present && rows == 0) std::printf("  (catalogue listed nothing)\n");
                        });
                      }});
  }
  shapes.push_back({"archive catalogue", "one entry looked up among many", [](qsizetype size, const QByteArray& folder) {
                      const QByteArray bin = folder + "/Archives Bin";
                      ::mkdir(bin.constData(), 0755);
                      WriteFile(bin + "/archives.ini", Catalogue(size, bin, false));
                      return std::function<void()>([bin] { (void)TArchiveCatalogue(bin).Find(QStringLiteral("t0000001.zip")); });
                    }});

  // ZIP: listing, and the checks before anything is extracted (a last member that leaves the
  // target makes the archive refused after every member was checked: nothing is written).
  shapes.push_back({"ZIP listing", "many members", [](qsizetype size, const QByteArray& folder) {
                      const QByteArray zip = folder + "/many.zip";
                      WriteZip(zip, size, [](int i) { return "m" + QByteArray::number(i); });
                      return std::function<void()>([zip] {
                        TZipMaster master;
                        master.SetZipFilename(zip);
                        if (master.Contents().empty()) std::printf("  (no members)\n");
                      });
                    }});
  auto extractChecks = [](const char* shape, std::function<QByteArray(int)> name) {
    return TShape{"ZIP extract checks", shape, [name](qsizetype size, const QByteArray& folder) {
                    const QByteArray zip = folder + "/checks.zip";
                    WriteZip(zip, size, name, "../refused");
                    return std::function<void()>([zip, folder] {
                      TZipMaster master;
                      master.SetZipFilename(zip);
                      master.ExtrBaseDir = folder + "/out";
                      if (master.Extract() || master.ErrCode() != ZipErrUnsafe) std::printf("  (not refused?)\n");
                    });
                  }};
  };
  shapes.push_back(extractChecks("many members in one folder", [](int i) { return "d/m" + QByteArray::number(i); }));
  shapes.push_back(extractChecks("members of 2047 folder levels (4096-byte names)", [](int i) {
    QByteArray leaf = QByteArray::number(i);
    QByteArray name;
    while (name.size() + 2 + leaf.size() <= 4096) name += "a/";
    return name + leaf;
  }));
  shapes.push_back(extractChecks("members of 30000 folder levels (refused as too long)", [](int i) {
    return QByteArray("a/").repeated(30000) + QByteArray::number(i);
  }));
  return shapes;
}

}  // namespace

int main(int argc, char** argv) {
  qsizetype small = 1 * MB, large = 10 * MB;
  QByteArray only;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QByteArray option = argv[i], value = argv[i + 1];
    if (option == "--mb") {
      const QList<QByteArray> sizes = value.split(',');
      small = qsizetype(sizes.value(0).toDouble() * MB);
      large = qsizetype(sizes.value(1).toDouble() * MB);
    } else if (option == "--only") {
      only = value.toLower();
    }
  }
  std::printf("%-20s %-52s %10s %10s %8s %10s %10s\n", "reader", "shape", "small cpu", "large cpu", "ratio",
              "small wall", "large wall");
  for (const TShape& shape : Shapes()) {
    if (!only.isEmpty() && !QByteArray(shape.Reader).toLower().contains(only) &&
        !QByteArray(shape.Shape).toLower().contains(only))
      continue;
    double cpu[2] = {}, wall[2] = {};
    for (int k = 0; k < 2; ++k) {
      QTemporaryDir scratch;
      const std::function<void()> work = shape.Make(k == 0 ? small : large, QFile::encodeName(scratch.path()));
      const double c0 = CpuSeconds(), w0 = WallSeconds();
      work();
      cpu[k] = CpuSeconds() - c0;
      wall[k] = WallSeconds() - w0;
    }
    std::printf("%-20s %-52s %10.3f %10.3f %8.1f %10.3f %10.3f\n", shape.Reader, shape.Shape, cpu[0], cpu[1],
                cpu[0] > 0 ? cpu[1] / cpu[0] : 0.0, wall[0], wall[1]);
    std::fflush(stdout);
  }
  return 0;
}
