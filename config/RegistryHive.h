#pragma once
// One registry hive in memory (a root key with its subkeys and typed values) and its text form,
// the format of Windows registry exports:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Morvell\Korvane 3\Options]
//   "ShowFileNames"="1"
//   @="the default value"
//   "Colors"=hex:00,ff,00,00,ff,ff,00,00   (long values continue on the next line after ",\")
//   "Count"=dword:0000000a
//   "Other"=hex(7):41,00,00,00
//
// Key and value names compare case-insensitively; a name keeps the spelling it was first
// created with. Subkeys and values keep the order they were created in.

#include "config/RegNameIndex.h"
#include "config/RegistryError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Value types as the Windows registry numbers them. Any other number may occur too: it is kept
// with its raw bytes.
enum class TRegType : uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  DWord = 4,
  MultiString = 7,
  QWord = 11,
};

// A value as the registry keeps it: its type and its bytes. Strings are UTF-16LE with a
// terminating NUL, DWORDs four bytes little-endian, as on Windows, so that every value, whatever
// its type and bytes, survives the text form unchanged.
struct TRegValue {
  TRegType Type = TRegType::None;
  QByteArray Data;

  static TRegValue FromString(const QString& text);
  static TRegValue FromString(QStringView text);
  static TRegValue FromDWord(uint32_t value);
  static TRegValue FromBinary(QByteArray bytes);

  // The text of a String or ExpandString value, up to its first NUL; none for other types.
  std::optional<QString> AsText() const;
  // The number of a DWord value of four bytes; none otherwise.
  std::optional<uint32_t> AsDWord() const;

  bool operator==(const TRegValue& other) const = default;
};

struct TRegNamedValue {
  QString Name;  // empty for the key's default value ("@")
  TRegValue Value;
};

class TRegKey {
public:
  explicit TRegKey(QString name) : name_(std::move(name)) {}
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  const QString& Name() const { return name_; }

  const std::vector<std::unique_ptr<TRegKey>>& Subkeys() const { return subkeys_; }
  TRegKey* FindSubkey(QStringView name) const;
  // The position of the subkey of that name in Subkeys(), or -1.
  qsizetype SubkeyPosition(QStringView name) const;
  // The subkey of that name, created at the end when it does not exist.
  TRegKey& SubkeyOrNew(QStringView name);
  TRegKey& SubkeyOrNew(const QString& name) { return SubkeyOrNew(QStringView(name)); }
  bool RemoveSubkey(QStringView name);

  const std::vector<TRegNamedValue>& Values() const { return values_; }
  const TRegValue* FindValue(QStringView name) const;
  // The position of the value of that name in Values(), or -1.
  qsizetype ValuePosition(QStringView name) const;
  // Sets a value; an existing one keeps its place and the spelling of its name.
  void SetValue(const QString& name, TRegValue value);
  bool RemoveValue(QStringView name);
  void Clear();
  // Makes room for that many values without growing again.
  void ReserveValues(qsizetype count);

  // Sets every value of source here and does the same for its subkeys, creating what is missing.
  void MergeFrom(const TRegKey& source);

private:
  // Positions by name, so that finding or setting a name takes the same time however many the
  // key holds (a hive of a million values reads and writes in linear time).
  qsizetype FindPosition(const TRegNameIndex& index, QStringView name, uint32_t hash) const;

  QString name_;
  std::vector<std::unique_ptr<TRegKey>> subkeys_;
  TRegNameIndex subkeyIndex_;
  std::vector<TRegNamedValue> values_;
  TRegNameIndex valueIndex_;
};

// The deepest key path the store accepts (as the Windows registry limits it).
constexpr int MaxKeyDepth = 512;

// Splits a key path ("Software\Morvell\Korvane 3") into its names. One leading and one trailing
// backslash are ignored; an empty path is the root. None when a name is empty or holds a line
// break, a control character or a lone surrogate (names that the text form cannot carry), or
// when the path is deeper than MaxKeyDepth.
std::optional<QStringList> SplitKeyPath(QStringView path);
// The same as views into path, without a copy of each name.
using TKeyNames = QVarLengthArray<QStringView, 8>;
std::optional<TKeyNames> SplitKeyPathViews(QStringView path);

class TRegHive {
public:
  explicit TRegHive(QString rootName) : root_(std::make_unique<TRegKey>(std::move(rootName))) {}
  TRegHive(TRegHive&&) = default;
  TRegHive& operator=(TRegHive&&) = default;

  const QString& RootName() const { return root_->Name(); }
  TRegKey& Root() { return *root_; }
  const TRegKey& Root() const { return *root_; }

  // Key paths are relative to the root; they must be valid (SplitKeyPath), else these find
  // nothing, and CreateKey throws ERegistryException.
  const TRegKey* FindKey(QStringView path) const;
  TRegKey* FindKey(QStringView path);
  TRegKey& CreateKey(QStringView path);
  const TRegKey* FindKey(const TKeyNames& names) const;
  TRegKey* FindKey(const TKeyNames& names);
  TRegKey& CreateKey(const TKeyNames& names);
  // Removes a key with everything below it; the root key itself is emptied instead.
  bool DeleteKey(QStringView path);
  bool DeleteKey(const TKeyNames& names);

  // The text form: UTF-8, LF line ends, a blank line after every key. A key is written when it
  // has values or no subkeys (a key with subkeys exists through them).
  QByteArray ToText() const;

  // Reads the text form. UTF-8 (with or without a byte-order mark) and UTF-16LE with its
  // byte-order mark are read; CRLF and LF line ends, blank lines and comment lines (";") are
  // accepted, and so are the deletion forms of registry patches ("[-key]", "\"name\"=-"). An empty
  // file is an empty hive. Anything else that is not in the format makes the whole text invalid:
  // None, with the line and the reason in *error.
  static std::optional<TRegHive> Parse(const QByteArray& bytes, const QString& rootName,
                                       QString* error = nullptr);

private:
  std::unique_ptr<TRegKey> root_;
};
