#include "config/DriveLetterStore.h"

#include "platform/HostNames.h"

#include "config/Registry.h"

#include <cctype>

namespace {

// The drive letter a value or key name stands for; 0 when it is none.
char LetterOf(const QString& name) {
  if (name.size() != 1) return 0;
  const char16_t c = name[0].toUpper().unicode();
  return c >= u'C' && c <= u'Z' ? static_cast<char>(c) : 0;
}

// The absolute host path a stored text stands for; empty when it is none.
QByteArray HostPathOf(const std::optional<TRegValue>& value) {
  const std::optional<QString> text = value ? value->AsText() : std::nullopt;
  if (!text) return QByteArray();
  const QByteArray path = EncodeEscapedUtf8(*text);
  return path.startsWith('/') ? CleanHostPath(path) : QByteArray();
}

QString LetterName(char letter) {
  return QString(QLatin1Char(static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))));
}

QString NetworkKey(char letter) { return NetworkKeyPath + QLatin1Char('\\') + LetterName(letter); }

}  // namespace

std::vector<TDriveMapping> TRegistryDriveLetterStore::Remembered() {
  std::vector<TDriveMapping> letters;
  const TRegistry reg;
  for (const QString& name : reg.ValueNames(DriveLettersKeyPath)) {
    const char letter = LetterOf(name);
    const QByteArray path = HostPathOf(reg.ReadValue(DriveLettersKeyPath, name));
    if (letter && !path.isEmpty()) letters.push_back({letter, path});
  }
  return letters;
}

void TRegistryDriveLetterStore::Remember(const std::vector<TDriveMapping>& given) {
  try {
    TRegistry reg;
    for (const TDriveMapping& m : given) {
      // A mount point keeps one letter: the entries that gave it another one go.
      for (const QString& name : reg.ValueNames(DriveLettersKeyPath)) {
        if (LetterOf(name) != m.Letter && HostPathOf(reg.ReadValue(DriveLettersKeyPath, name)) == m.HostRoot)
          reg.DeleteValue(DriveLettersKeyPath, name);
      }
      reg.WriteValue(DriveLettersKeyPath, LetterName(m.Letter), TRegValue::FromString(DecodeEscapedUtf8(m.HostRoot)));
    }
    reg.Close();
  } catch (const ERegistryException& e) {
    qWarning("The drive letters cannot be remembered: %s", qPrintable(e.Message()));
  }
}

std::vector<TDriveMapping> TRegistryDriveLetterStore::Mapped() {
  std::vector<TDriveMapping> mapped;
  const TRegistry reg;
  for (const QString& name : reg.SubkeyNames(NetworkKeyPath)) {
    const char letter = LetterOf(name);
    const QByteArray path = HostPathOf(reg.ReadValue(NetworkKeyPath + QLatin1Char('\\') + name, RemotePathName));
    if (letter && !path.isEmpty()) mapped.push_back({letter, path});
  }
  return mapped;
}

bool TRegistryDriveLetterStore::Map(char letter, const QByteArray& hostFolder, QString* error) {
  try {
    TRegistry reg;
    reg.WriteValue(NetworkKey(letter), RemotePathName, TRegValue::FromString(DecodeEscapedUtf8(hostFolder)));
    reg.Close();
    return true;
  } catch (const ERegistryException& e) {
    if (error) *error = e.Message();
    return false;
  }
}

bool TRegistryDriveLetterStore::Unmap(char letter, QString* error) {
  try {
    TRegistry reg;
    if (reg.KeyExists(NetworkKey(letter))) reg.DeleteKey(NetworkKey(letter));
    reg.Close();
    return true;
  } catch (const ERegistryException& e) {
    if (error) *error = e.Message();
    return false;
  }
}
