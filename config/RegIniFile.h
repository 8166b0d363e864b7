#pragma once
// The registry in the manner of an INI file: opened on a key path below HKEY_CURRENT_USER, whose
// subkeys are the sections and whose named values are the entries.
//
// Storage forms: integers and booleans as REG_SZ decimal strings (booleans "1" and "0"), strings
// as REG_SZ, binary blocks as REG_BINARY of exactly the written length. Reading never fails for
// something missing: the default comes back. A stored string that is not a decimal 32-bit integer
// reads as the default; a REG_DWORD value reads as its number; a value of another type than the
// one asked for reads as the default, except in ReadBinary, which raises ERegistryException.
//
// The key is created when the first value is written, not when the accessor is opened, so that
// reading settings never rewrites the hive file. All writes reach the file together at Close.

#include "config/Registry.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class TRegIniFile {
public:
  explicit TRegIniFile(QString keyPath, TRegRoot root = TRegRoot::CurrentUser);
  virtual ~TRegIniFile();
  TRegIniFile(const TRegIniFile&) = delete;
  TRegIniFile& operator=(const TRegIniFile&) = delete;

  // The key path the accessor is opened on.
  const QString& FileName() const { return keyPath_; }

  QString ReadString(const QString& section, const QString& ident, const QString& defaultValue) const;
  int32_t ReadInteger(const QString& section, const QString& ident, int32_t defaultValue) const;
  // Read as an integer: any number but 0 is true.
  bool ReadBool(const QString& section, const QString& ident, bool defaultValue) const;
  void WriteString(const QString& section, const QString& ident, const QString& value);
  void WriteInteger(const QString& section, const QString& ident, int32_t value);
  void WriteBool(const QString& section, const QString& ident, bool value);

  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& ident) const;
  // The value names of a section, in the order they were created.
  QStringList ReadSection(const QString& section) const;
  // The sections, in the order they were created.
  QStringList ReadSections() const;
  void EraseSection(const QString& section);
  void DeleteKey(const QString& section, const QString& ident);

  // Writes everything written so far to the hive file; throws ERegistryException on failure.
  void Close();

protected:
  // The key path of a section: the accessor's key, a backslash and the section (the key itself
  // for an empty section).
  QString SectionPath(const QString& section) const;
  const TRegistry& Registry() const { return registry_; }
  TRegistry& Registry() { return registry_; }

private:
  QString keyPath_;
  TRegistry registry_;
};

// Parses a stored integer as the accessor reads it: optional blanks around an optional sign and
// decimal digits, within the signed 32-bit range.
std::optional<int32_t> ParseStoredInteger(const QString& text);

class TBinRegIniFile : public TRegIniFile {
public:
  using TRegIniFile::TRegIniFile;

  // Copies a REG_BINARY (or untyped) value into buffer and returns its length; 0 when the section
  // or the value does not exist, leaving buffer untouched. A value of another type, or longer
  // than size, raises ERegistryException "Invalid data type for '<name>'".
  int32_t ReadBinary(const QString& section, const QString& name, int32_t size, void* buffer) const;
  // Writes size bytes as REG_BINARY, creating the section if needed.
  void WriteBinary(const QString& section, const QString& name, int32_t size, const void* buffer);
};
