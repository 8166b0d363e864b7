#pragma once
// Profile (INI) files, read and written the way the Windows profile functions do it:
//
//   [Section]
//   Key=Value
//
// - Section and key names compare case-insensitively, with blanks around them ignored; a name
//   keeps the spelling it has in the file. Values lose the blanks around them, and one pair of
//   matching quotes ("..." or '...') around a value is removed on reading. A written value that
//   would lose something that way (blanks at an end, quotes at both ends) is written in double
//   quotes, so that it reads back as written; line breaks in a written value become blanks.
// - A section that occurs more than once reads as one: a key is looked up in every occurrence, in
//   file order, and the first one found wins; the key list lists each key once, in file order.
// - Lines that are no section and no "key=value" (comments beginning with ";" or "#", blank
//   lines, anything malformed) are no keys, but every line the program does not change is written
//   back byte for byte, with its own line end: hand edits survive every write.
// - Text is UTF-8; bytes that are not valid UTF-8 read as U+DC80..U+DCFF and are written back as
//   the same bytes. A UTF-8 byte-order mark is kept. A file that begins with the UTF-16LE byte-order
//   mark is read and written as UTF-16LE (an odd last byte is kept at the end).
// - New lines get the line end the file already uses (that of its first line); a new file gets
//   CRLF, as Windows profile files have.
// - Every change re-reads the file and, when something changed, replaces it atomically
//   (temporary file, flush, rename), holding a lock on the file's folder throughout, so that two
//   copies of the program writing in turn keep each other's keys. A missing or unreadable file
//   reads as empty; an unreadable one (or one that is no regular file: a FIFO or a device is never
//   opened) is warned about once (SettingsWarnings.h) and never written.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

class EIniFileException : public std::runtime_error {
public:
  explicit EIniFileException(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

private:
  QString message_;
};

// A section or key name as the key of a hash: trimmed and case-folded, so that two names are the
// same name exactly when their keys are equal.
QString IniNameKey(QStringView name);

// The lines of a profile file and the operations on them, in memory.
class TIniDocument {
public:
  static TIniDocument Parse(const QByteArray& bytes);
  QByteArray ToBytes() const;

  std::optional<QString> Value(QStringView section, QStringView key) const;
  QStringList Keys(QStringView section) const;
  // Each key of the section once (as Keys lists them) with its value (as Value reads it).
  std::vector<std::pair<QString, QString>> Entries(QStringView section) const;
  QStringList Sections() const;
  bool HasSection(QStringView section) const;

  // Key names compare case-sensitively from now on (section names still do not): for files whose
  // keys are file names on a file system that tells "a.zip" from "A.ZIP".
  void SetExactKeys(bool exact) { exactKeys_ = exact; }

  // Each returns whether the document changed. SetValue throws EIniFileException for a section or
  // key name that cannot be written (empty, or one that would read back as something else).
  bool SetValue(QStringView section, QStringView key, QStringView value);
  // Sets many keys of the section in one pass (a key given twice gets its later value); new keys
  // go where SetValue puts them, in the order given. Throws before changing anything.
  bool SetValues(QStringView section, const std::vector<std::pair<QString, QString>>& values);
  // Removes the key from every occurrence of the section (and duplicates of it).
  bool RemoveKey(QStringView section, QStringView key);
  // Removes those keys from every occurrence of the section, in one pass.
  bool RemoveKeys(QStringView section, const QStringList& keys);
  // Removes every occurrence of the section with all its lines.
  bool RemoveSection(QStringView section);

private:
  enum class TKind { Other, Section, Entry };
  struct TLine {
    QByteArray Raw;  // the line's bytes, without its line end
    QByteArray End;  // "\r\n", "\n" or "" (the last line without a line end)
    TKind Kind = TKind::Other;
    QString Name;  // section or key name, trimmed
  };

  void Classify(TLine& line) const;
  bool SameKey(QStringView a, QStringView b) const;
  // A key name as the key of a hash, as SameKey compares names.
  QString KeyOf(QStringView name) const;
  QString Decode(QByteArrayView bytes) const;
  QByteArray Encode(QStringView text) const;
  // The line range [begin, end) of each occurrence of the section: header and body.
  std::vector<std::pair<size_t, size_t>> Occurrences(QStringView section) const;
  void InsertLines(size_t at, const std::vector<QByteArray>& raws);

  std::vector<TLine> lines_;
  QByteArray bom_;
  bool utf16_ = false;
  QByteArray tail_;  // the odd last byte of a UTF-16 file, kept at the end
  QByteArray newline_ = "\r\n";
  bool exactKeys_ = false;
};

class TIniFile {
public:
  // hostPath: the file's host path.
  // exactKeys: key names compare case-sensitively (TIniDocument::SetExactKeys).
  explicit TIniFile(QByteArray hostPath, bool exactKeys = false) : path_(std::move(hostPath)), exactKeys_(exactKeys) {}

  const QByteArray& FileName() const { return path_; }

  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  // The keys of a section in file order.
  QStringList ReadSection(const QString& section) const;
  QStringList ReadSections() const;
  // The whole file, read once (for reading many values).
  TIniDocument ReadDocument() const;
  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& key) const;

  // Writing creates the file and the section when needed. These throw EIniFileException when
  // the file cannot be written, or exists but cannot be read (it is then left as it is).
  void WriteString(const QString& section, const QString& key, const QString& value);
  void DeleteKey(const QString& section, const QString& key);
  // Makes any changes to the document in one write (when change returns true), under the same
  // lock and re-reading as every other change.
  void Change(const std::function<bool(TIniDocument&)>& change);
  // Deletes the keys from each of the sections, in one write.
  void DeleteKeys(const QStringList& sections, const QStringList& keys);
  void EraseSection(const QString& section);

private:
  TIniDocument Read() const;
  template <typename Edit>
  void Modify(Edit change);

  QByteArray path_;
  bool exactKeys_ = false;
};
