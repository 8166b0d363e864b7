#include "platform/UserPath.h"

#include "platform/DriveTable.h"
#include "platform/HostNames.h"

#include <QList>
#include <QUrl>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Join(const QByteArray& root, const QList<QByteArray>& parts) {
  QByteArray out = root;
  for (const QByteArray& c : parts) {
    if (!out.endsWith('/')) out += '/';
    out += c;
  }
  return out;
}

// Walks components below root. A ".." at the root stays there; elsewhere it takes back the
// component before it only when that is a real folder (checked with lstat, so that the kernel
// resolves the folders before it just as it will when the path is used).
std::optional<QByteArray> Walk(const QByteArray& root, const QList<QByteArray>& components, QString* error) {
  QList<QByteArray> parts;
  for (const QByteArray& c : components) {
    if (c.isEmpty() || c == ".") continue;
    if (c != "..") {
      parts.append(c);
      continue;
    }
    if (parts.isEmpty()) continue;
    const QByteArray before = Join(root, parts);
    struct stat st {};
    QString why;
    if (::lstat(before.constData(), &st) != 0)
      why = QStringLiteral("%1 does not exist").arg(HostPathText(before));
    else if (S_ISLNK(st.st_mode))
      why = QStringLiteral("%1 is a link, and \"..\" after it leads up from where the link points")
                .arg(HostPathText(before));
    else if (!S_ISDIR(st.st_mode))
      why = QStringLiteral("%1 is not a folder").arg(HostPathText(before));
    if (!why.isEmpty()) {
      if (error) *error = why + QStringLiteral("; give the path without \"..\"");
      return std::nullopt;
    }
    parts.removeLast();
  }
  return Join(root, parts);
}

}  // namespace

QStringList DecodeArguments(int argc, char** argv, int first) {
  QStringList out;
  for (int i = first; i < argc; ++i) out << DecodeEscapedUtf8(std::string_view(argv[i]));
  return out;
}

QByteArray HostPathBytes(QStringView text) { return EncodeEscapedUtf8(text); }
QString HostPathText(const QByteArray& hostPath) { return DecodeEscapedUtf8(hostPath); }

QByteArray LocalFileBytes(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  // The encoded form keeps the percent escapes of bytes that are not UTF-8; decoding them here
  // gives those bytes, where toLocalFile() would read them as UTF-8 and lose them.
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QByteArray WorkingFolderBytes() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return {};
  const QByteArray folder(cwd);
  std::free(cwd);
  return folder.startsWith('/') ? folder : QByteArray();
}

bool LooksLikeDrivePath(QStringView text) {
  return text.size() >= 2 && text[0].isLetter() && text[0].unicode() < 128 && text[1] == QLatin1Char(':') &&
         (text.size() == 2 || text[2] == QLatin1Char('\\') || text[2] == QLatin1Char('/'));
}

std::optional<QByteArray> CleanGivenHostPath(const QByteArray& path, const QByteArray& base, QString* error) {
  if (path.isEmpty() || path.contains('\0')) {
    if (error) *error = QStringLiteral("an empty path was given");
    return std::nullopt;
  }
  QByteArray absolute = path;
  if (!path.startsWith('/')) {
    const QByteArray from = base.isEmpty() ? WorkingFolderBytes() : base;
    if (!from.startsWith('/')) {
      if (error) *error = QStringLiteral("the working folder cannot be told, so %1 names no place").arg(HostPathText(path));
      return std::nullopt;
    }
    absolute = from + '/' + path;
  }
  return Walk("/", absolute.split('/'), error);
}

std::optional<QByteArray> GivenDrivePathToHost(const QString& drivePath, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  if (!LooksLikeDrivePath(drivePath) || drivePath.contains(QChar(u'\0')))
    return fail(QStringLiteral("%1 is not a drive path").arg(drivePath));
  const TDriveMapping* drive = TDriveTable::Instance().Find(drivePath[0]);
  if (!drive) return fail(QStringLiteral("%1 is not on any drive").arg(drivePath));
  QList<QByteArray> components;
  qsizetype start = 3;
  for (qsizetype i = 3; i <= drivePath.size(); ++i) {
    if (i < drivePath.size() && drivePath[i] != QLatin1Char('\\') && drivePath[i] != QLatin1Char('/')) continue;
    // The bytes as given (HostPathBytes), not the window's spelling of names (EncodeHostName):
    // a name holding the character U+F05C is that character here, not a "\".
    if (i > start) components.append(HostPathBytes(QStringView(drivePath).mid(start, i - start)));
    start = i + 1;
  }
  QString why;
  std::optional<QByteArray> host = Walk(drive->HostRoot, components, &why);
  if (!host) return fail(QStringLiteral("%1: %2").arg(drivePath, why));
  return host;
}
