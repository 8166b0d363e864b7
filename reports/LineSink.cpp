#include "reports/LineSink.h"

#include "config/AtomicFile.h"

#include "platform/UserPath.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

bool TTextBufferSink::WriteLine(const QString& line) {
  data_ += line.toUtf8();
  data_ += "\r\n";
  return true;
}

namespace {

bool Refuse(QString* error, const QString& text) {
  if (error) *error = text;
  return false;
}

bool SameFolder(const QByteArray& a, const QByteArray& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

bool SaveReportFile(const QString& fileName, const QByteArray& data, QString* error) {
  if (fileName.isEmpty()) return Refuse(error, QStringLiteral("No file name was given."));
  const QByteArray path = HostPathBytes(fileName);
  QByteArray target = path;
  struct stat st {};
  if (::lstat(path.constData(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      char real[PATH_MAX];
      if (::stat(path.constData(), &st) != 0 || !::realpath(path.constData(), real))
        return Refuse(error, QStringLiteral("%1 is a link to nothing that exists").arg(fileName));
      target = real;
      if (!S_ISREG(st.st_mode))
        return Refuse(error, QStringLiteral("%1 is a link to %2, which is not a regular file")
                                 .arg(fileName, HostPathText(target)));
      if (!SameFolder(FolderOf(path), FolderOf(target)))
        return Refuse(error, QStringLiteral("%1 is a link to %2 in another folder; give that file itself")
                                 .arg(fileName, HostPathText(target)));
    } else if (!S_ISREG(st.st_mode)) {
      return Refuse(error, QStringLiteral("%1 is not a regular file").arg(fileName));
    }
  }
  // The name is replaced itself, never written through a link put there meanwhile.
  return WriteFileAtomically(target, data, 0666, error, false);
}
