#pragma once
// Paths as they come in from outside: the command line, a dropped file, a typed folder. Their
// bytes are kept exactly (a name that is not UTF-8 still names the same entry), and a host path
// is cleaned the way the kernel walks it, never by text alone.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class QUrl;

// argv[first] to argv[argc - 1] as text without loss: valid UTF-8 as such, any other byte b as
// U+DC00 + b, so that HostPathBytes gives the very bytes back.
QStringList DecodeArguments(int argc, char** argv, int first = 1);

// A host path given as text as the bytes the file system uses, and back; the pair round-trips
// every byte string.
QByteArray HostPathBytes(QStringView text);
QString HostPathText(const QByteArray& hostPath);

// The path of a local file URL as raw bytes (the percent escapes taken as bytes, not read as
// UTF-8); empty when the URL names no local file.
QByteArray LocalFileBytes(const QUrl& url);

// The working folder's bytes; empty when it cannot be told.
QByteArray WorkingFolderBytes();

// "X:", "X:\..." or "X:/...": the text is a drive path rather than a host path.
bool LooksLikeDrivePath(QStringView text);

// A host path given by the user as a clean absolute host path: relative to base (when base is
// empty, to the working folder), without "." and doubled or trailing "/". A ".." takes back the
// component before it only when that names a real folder: after a link the kernel goes up from
// where the link leads, and for a missing entry it fails, so a ".." there is refused with the
// reason in *error rather than read as text.
std::optional<QByteArray> CleanGivenHostPath(const QByteArray& path, const QByteArray& base, QString* error);

// A drive path given by the user as a host path, with the same rule for ".." (which never leaves
// the drive root). None with the reason in *error when the drive is unknown or a ".." follows a
// link or a missing entry.
std::optional<QByteArray> GivenDrivePathToHost(const QString& drivePath, QString* error);
