// korvane-registry-bench COUNT [FOLDER]: writes COUNT values into one key of a hive through the
// registry store (one accessor, one file replacement), reads the hive back through a new
// accessor and looks every value up, then merges: an accessor changes every tenth value while
// another copy writes the hive, so that its write re-reads the hive and merges its changes into
// it. Prints the times, the file size and the peak memory as "key: value" lines (wall times of
// each phase, and the CPU time of the whole run, which a loaded machine changes less). FOLDER
// (default: a new folder under /tmp) becomes the registry folder.

#include "config/Registry.h"
#include "config/RegistryStore.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Key = QStringLiteral("Software\\Morvell\\Korvane 3\\Bench");

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

QString NameOf(long i) { return QStringLiteral("Value%1").arg(i); }

// The CPU time and the peak memory of the run so far.
void PrintUsage(const char* prefix) {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%scpu-seconds: %.3f\n", prefix,
              static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
  std::printf("%speak-rss-mb: %.1f\n", prefix, static_cast<double>(usage.ru_maxrss) / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || std::atol(argv[1]) <= 0) {
    std::fputs("usage: korvane-registry-bench COUNT [FOLDER]\n", stderr);
    return 2;
  }
  const long count = std::atol(argv[1]);
  QByteArray folder;
  if (argc == 3) {
    folder = argv[2];
  } else {
    char pattern[] = "/tmp/korvane-registry-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  qputenv("KORVANE_REGISTRY_DIR", folder);
  const QByteArray hive = HivePath(TRegRoot::CurrentUser);
  ::unlink(hive.constData());

  QElapsedTimer timer;
  timer.start();
  {
    TRegistry reg;
    for (long i = 0; i < count; ++i) {
      // Strings, numbers and binary blocks, as the settings hold them.
      if (i % 3 == 0)
        reg.WriteValue(Key, NameOf(i), TRegValue::FromString(QString::number(i)));
      else if (i % 3 == 1)
        reg.WriteValue(Key, NameOf(i), TRegValue::FromDWord(static_cast<uint32_t>(i)));
      else
        reg.WriteValue(Key, NameOf(i), TRegValue::FromBinary(QByteArray::number(i)));
    }
    QElapsedTimer close;
    close.start();
    reg.Close();
    std::printf("write-close-seconds: %.3f\n", Seconds(close));
  }
  const double writeSeconds = Seconds(timer);

  timer.restart();
  long found = 0;
  {
    const TRegistry reg;
    const double parsed = Seconds(timer);
    std::printf("read-parse-seconds: %.3f\n", parsed);
    for (long i = 0; i < count; ++i) found += reg.ReadValue(Key, NameOf(i)).has_value();
  }
  const double readSeconds = Seconds(timer);
  PrintUsage("write-read-");

  timer.restart();
  bool merged = false;
  {
    TRegistry reg;
    for (long i = 0; i < count; i += 10) reg.WriteValue(Key, NameOf(i), TRegValue::FromDWord(static_cast<uint32_t>(i + 1)));
    {
      TRegistry other;
      other.WriteValue(Key, QStringLiteral("Other"), TRegValue::FromString(QStringLiteral("other copy")));
      other.Close();
    }
    QElapsedTimer close;
    close.start();
    reg.Close();
    std::printf("merge-close-seconds: %.3f\n", Seconds(close));
    const TRegistry check;
    merged = check.ReadValue(Key, QStringLiteral("Other")).has_value() &&
             check.ReadValue(Key, NameOf(count - 1 - (count - 1) % 10)) ==
                 TRegValue::FromDWord(static_cast<uint32_t>(count - (count - 1) % 10));
  }
  const double mergeSeconds = Seconds(timer);

  struct stat st {};
  ::stat(hive.constData(), &st);
  std::printf("values: %ld\n", count);
  std::printf("write-seconds: %.3f\n", writeSeconds);
  std::printf("read-seconds: %.3f\n", readSeconds);
  std::printf("merge-seconds: %.3f\n", mergeSeconds);
  std::printf("found: %ld\n", found);
  std::printf("merged: %s\n", merged ? "yes" : "no");
  std::printf("file-bytes: %lld\n", static_cast<long long>(st.st_size));
  PrintUsage("");
  ::unlink(hive.constData());
  ::unlink((hive + ".lock").constData());
  if (argc == 2) ::rmdir(folder.constData());
  return found == count && merged ? 0 : 1;
}
