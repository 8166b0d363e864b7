#include "history/NcduReader.h"

#include "scan/FolderSize.h"

#include <QFile>

#include <limits>
#include <unordered_set>

namespace {

constexpr uint64_t FileTimeEpochOffset = 11644473600ULL;  // seconds from 1601 to 1970
constexpr uint64_t FileTimeTicksPerSecond = 10000000ULL;

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  return r;
}

struct TLinkKey {
  uint64_t Dev;
  uint64_t Ino;
  bool operator==(const TLinkKey&) const = default;
};
struct TLinkKeyHash {
  size_t operator()(const TLinkKey& k) const noexcept { return std::hash<uint64_t>()(k.Ino * 1000003u ^ k.Dev); }
};

// One info block: what the reader uses of it.
struct TInfo {
  QByteArray Name;
  bool HasName = false;
  int64_t ASize = 0;
  int64_t DSize = 0;
  uint64_t Dev = 0;
  bool HasDev = false;
  uint64_t Ino = 0;
  bool HardLink = false;
  bool ReadError = false;
  bool Excluded = false;
  uint64_t MTime = 0;  // FILETIME
};

class TParser {
public:
  TParser(std::string_view bytes, const TNcduLimits& limits)
      : p_(reinterpret_cast<const unsigned char*>(bytes.data())), begin_(p_), end_(p_ + bytes.size()), limits_(limits) {}

  TNcduScan Run();

private:
  bool Fail(const char* what) {
    if (error_.isEmpty())
      error_ = QStringLiteral("byte %1: %2").arg(static_cast<qint64>(p_ - begin_)).arg(QLatin1String(what));
    return false;
  }
  void SkipWs() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
  }
  // Skips white space and takes c.
  bool Take(char c, const char* what) {
    SkipWs();
    if (p_ >= end_) return Fail("the file ends too early");
    if (*p_ != static_cast<unsigned char>(c)) return Fail(what);
    ++p_;
    return true;
  }
  bool String(QByteArray* out, size_t maxBytes);
  // A whole number 0..INT64_MAX.
  bool Unsigned(int64_t* out);
  bool Bool(bool* out);
  bool Literal(const char* word);
  bool SkipNumber();
  bool SkipValue();
  bool Info(TInfo* info);
  bool Metadata(TNcduScan& scan);
  bool OpenFolder(const TInfo& info);
  void CloseFolder();
  void AddFile(const TInfo& info);

  const unsigned char* p_;
  const unsigned char* begin_;
  const unsigned char* end_;
  const TNcduLimits& limits_;
  QString error_;
  std::vector<TNcduFolder> folders_;
  std::vector<int32_t> open_;       // folders whose closing bracket is still to come
  std::vector<uint64_t> devices_;   // their devices
  std::unordered_set<TLinkKey, TLinkKeyHash> links_;
};

bool TParser::Literal(const char* word) {
  for (const char* w = word; *w; ++w, ++p_)
    if (p_ >= end_ || *p_ != static_cast<unsigned char>(*w)) return Fail("not a JSON value");
  return true;
}

bool TParser::String(QByteArray* out, size_t maxBytes) {
  SkipWs();
  if (p_ >= end_) return Fail("the file ends too early");
  if (*p_ != '"') return Fail("a string was expected");
  ++p_;
  if (out) out->clear();
  auto put = [&](char c) {
    if (!out) return true;
    if (static_cast<size_t>(out->size()) >= maxBytes) return Fail("a string is too long");
    out->append(c);
    return true;
  };
  auto hex4 = [&](uint32_t* v) {
    if (end_ - p_ < 4) return Fail("the file ends too early");
    *v = 0;
    for (int i = 0; i < 4; ++i, ++p_) {
      const unsigned char c = *p_;
      uint32_t d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return Fail("a \\u escape needs four hexadecimal digits");
      *v = *v * 16 + d;
    }
    return true;
  };
  while (true) {
    if (p_ >= end_) return Fail("the file ends inside a string");
    const unsigned char c = *p_++;
    if (c == '"') return true;
    if (c < 0x20) return Fail("a control character inside a string");
    if (c != '\\') {
      // Any other byte is taken as it is: names are bytes, and exporters write them raw.
      if (!put(static_cast<char>(c))) return false;
      continue;
    }
    if (p_ >= end_) return Fail("the file ends inside a string");
    const unsigned char e = *p_++;
    char simple = 0;
    switch (e) {
      case '"': simple = '"'; break;
      case '\\': simple = '\\'; break;
      case '/': simple = '/'; break;
      case 'b': simple = '\b'; break;
      case 'f': simple = '\f'; break;
      case 'n': simple = '\n'; break;
      case 'r': simple = '\r'; break;
      case 't': simple = '\t'; break;
      case 'u': break;
      default: --p_; return Fail("an unknown escape in a string");
    }
    if (simple) {
      if (!put(simple)) return false;
      continue;
    }
    uint32_t cp = 0;
    if (!hex4(&cp)) return false;
    if (cp >= 0xD800 && cp <= 0xDBFF && end_ - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u') {
      const unsigned char* save = p_;
      p_ += 2;
      uint32_t low = 0;
      if (!hex4(&low)) return false;
      if (low >= 0xDC00 && low <= 0xDFFF) cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      else p_ = save;  // a lone high surrogate; the next escape stands on its own
    }
    // UTF-8 (a lone surrogate gets the three bytes it would have, as WTF-8 writes it).
    bool ok;
    if (cp < 0x80) ok = put(static_cast<char>(cp));
    else if (cp < 0x800) ok = put(static_cast<char>(0xC0 | (cp >> 6))) && put(static_cast<char>(0x80 | (cp & 0x3F)));
    else if (cp < 0x10000)
      ok = put(static_cast<char>(0xE0 | (cp >> 12))) && put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) &&
           put(static_cast<char>(0x80 | (cp & 0x3F)));
    else
      ok = put(static_cast<char>(0xF0 | (cp >> 18))) && put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F))) &&
           put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F))) && put(static_cast<char>(0x80 | (cp & 0x3F)));
    if (!ok) return false;
  }
}

bool TParser::SkipNumber() {
  const unsigned char* start = p_;
  if (p_ < end_ && *p_ == '-') ++p_;
  const unsigned char* digits = p_;
  while (p_ < end_ && *p_ >= '0' && *p_ <= '9') ++p_;
  if (p_ == digits) {
    p_ = start;
    return Fail("not a JSON value");
  }
  if (p_ < end_ && *p_ == '.') {
    ++p_;
    const unsigned char* frac = p_;
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9') ++p_;
    if (p_ == frac) return Fail("a malformed number");
  }
  if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
    ++p_;
    if (p_ < end_ && (*p_ == '+' || *p_ == '-')) ++p_;
    const unsigned char* exp = p_;
    while (p_ < end_ && *p_ >= '0' && *p_ <= '9') ++p_;
    if (p_ == exp) return Fail("a malformed number");
  }
  return true;
}

bool TParser::Unsigned(int64_t* out) {
  SkipWs();
  if (p_ >= end_) return Fail("the file ends too early");
  if (*p_ == '-') return Fail("a negative number where a size or count belongs");
  if (*p_ < '0' || *p_ > '9') return Fail("a number was expected");
  const unsigned char* start = p_;
  uint64_t v = 0;
  bool tooLarge = false;
  while (p_ < end_ && *p_ >= '0' && *p_ <= '9') {
    const uint64_t d = *p_++ - '0';
    if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - d) / 10) tooLarge = true;
    else v = v * 10 + d;
  }
  if (p_ < end_ && (*p_ == '.' || *p_ == 'e' || *p_ == 'E')) {
    p_ = start;
    if (!SkipNumber()) return false;
    p_ = start;
    return Fail("a size or count that is not a whole number");
  }
  if (tooLarge) {
    p_ = start;
    return Fail("a number too large for 64 bits");
  }
  *out = static_cast<int64_t>(v);
  return true;
}

bool TParser::Bool(bool* out) {
  SkipWs();
  if (p_ < end_ && *p_ == 't') return Literal("true") && (*out = true, true);
  if (p_ < end_ && *p_ == 'f') return Literal("false") && (*out = false, true);
  if (p_ < end_ && *p_ == 'n') return Literal("null") && (*out = false, true);
  return p_ >= end_ ? Fail("the file ends too early") : Fail("true or false was expected");
}

// Skips any JSON value, however nested, with a stack of the brackets still open.
bool TParser::SkipValue() {
  std::vector<unsigned char> brackets;
  bool expectValue = true;
  while (true) {
    SkipWs();
    if (p_ >= end_) return Fail("the file ends too early");
    const unsigned char c = *p_;
    if (expectValue) {
      if (c == '[' || c == '{') {
        if (open_.size() + brackets.size() >= limits_.MaxDepth) return Fail("nested too deeply");
        brackets.push_back(c == '[' ? ']' : '}');
        ++p_;
        SkipWs();
        if (p_ < end_ && *p_ == brackets.back()) {
          ++p_;
          brackets.pop_back();
          expectValue = false;
        } else if (c == '{') {
          if (!String(nullptr, 0) || !Take(':', "a colon was expected")) return false;
        }
        if (expectValue) continue;
      } else if (c == '"') {
        if (!String(nullptr, 0)) return false;
        expectValue = false;
      } else if (c == 't') {
        if (!Literal("true")) return false;
        expectValue = false;
      } else if (c == 'f') {
        if (!Literal("false")) return false;
        expectValue = false;
      } else if (c == 'n') {
        if (!Literal("null")) return false;
        expectValue = false;
      } else {
        if (!SkipNumber()) return false;
        expectValue = false;
      }
    }
    // After a value: the end of the whole value, a separator or a closing bracket.
    if (brackets.empty()) return true;
    SkipWs();
    if (p_ >= end_) return Fail("the file ends too early");
    if (*p_ == ',') {
      ++p_;
      if (brackets.back() == '}' && (!String(nullptr, 0) || !Take(':', "a colon was expected"))) return false;
      expectValue = true;
    } else if (*p_ == brackets.back()) {
      ++p_;
      brackets.pop_back();
      expectValue = false;
    } else {
      return Fail("a comma or closing bracket was expected");
    }
  }
}

bool TParser::Info(TInfo* info) {
  *info = TInfo();
  if (!Take('{', "an information object ({...}) was expected")) return false;
  SkipWs();
  if (p_ < end_ && *p_ == '}') {
    ++p_;
    return Fail("an entry without a name");
  }
  QByteArray key;
  while (true) {
    if (!String(&key, 1024) || !Take(':', "a colon was expected")) return false;
    SkipWs();
    bool ok = true;
    int64_t n = 0;
    if (key == "name") {
      ok = String(&info->Name, limits_.MaxNameBytes);
      info->HasName = ok;
    } else if (key == "asize") {
      ok = Unsigned(&info->ASize);
    } else if (key == "dsize") {
      ok = Unsigned(&info->DSize);
    } else if (key == "dev") {
      ok = Unsigned(&n);
      info->Dev = static_cast<uint64_t>(n);
      info->HasDev = true;
    } else if (key == "ino") {
      ok = Unsigned(&n);
      info->Ino = static_cast<uint64_t>(n);
    } else if (key == "hlnkc") {
      ok = Bool(&info->HardLink);
    } else if (key == "read_error") {
      ok = Bool(&info->ReadError);
    } else if (key == "excluded") {
      // A string naming why ("pattern", "otherfs", "frmlnk", "kernfs"), or true in some writers.
      if (p_ < end_ && *p_ == '"') {
        ok = String(nullptr, 0);
        info->Excluded = true;
      } else {
        ok = Bool(&info->Excluded);
      }
    } else if (key == "mtime") {
      ok = Unsigned(&n);
      if (ok) {
        const auto seconds = static_cast<uint64_t>(n);
        if (seconds > std::numeric_limits<uint64_t>::max() / FileTimeTicksPerSecond - FileTimeEpochOffset)
          return Fail("a modification time out of range");
        info->MTime = (seconds + FileTimeEpochOffset) * FileTimeTicksPerSecond;
      }
    } else {
      ok = SkipValue();
    }
    if (!ok) return false;
    SkipWs();
    if (p_ >= end_) return Fail("the file ends too early");
    if (*p_ == '}') {
      ++p_;
      break;
    }
    if (*p_ != ',') return Fail("a comma or } was expected");
    ++p_;
  }
  if (!info->HasName) return Fail("an entry without a name");
  return true;
}

bool TParser::Metadata(TNcduScan& scan) {
  SkipWs();
  if (p_ >= end_) return Fail("the file ends too early");
  if (*p_ != '{') return SkipValue();
  ++p_;
  SkipWs();
  if (p_ < end_ && *p_ == '}') {
    ++p_;
    return true;
  }
  QByteArray key;
  QByteArray text;
  while (true) {
    if (!String(&key, 256) || !Take(':', "a colon was expected")) return false;
    SkipWs();
    if ((key == "progname" || key == "progver") && p_ < end_ && *p_ == '"') {
      if (!String(&text, 256)) return false;
      (key == "progname" ? scan.ProgramName : scan.ProgramVersion) = QString::fromUtf8(text);
    } else if (key == "timestamp" && p_ < end_ && *p_ >= '0' && *p_ <= '9') {
      if (!Unsigned(&scan.Timestamp)) return false;
    } else if (!SkipValue()) {
      return false;
    }
    SkipWs();
    if (p_ >= end_) return Fail("the file ends too early");
    if (*p_ == '}') {
      ++p_;
      return true;
    }
    if (*p_ != ',') return Fail("a comma or } was expected");
    ++p_;
  }
}

bool TParser::OpenFolder(const TInfo& info) {
  if (open_.size() >= limits_.MaxDepth) return Fail("folders nested too deeply");
  if (folders_.size() >= limits_.MaxFolders) return Fail("too many folders");
  const bool root = open_.empty();
  if (!root) {
    // A folder name is one path component.
    if (info.Name.isEmpty() || info.Name == "." || info.Name == ".." || info.Name.contains('/') || info.Name.contains('\0'))
      return Fail("a folder name that cannot be a name");
  } else if (info.Name.isEmpty() || info.Name.contains('\0')) {
    return Fail("the scanned folder has no usable path");
  }
  TNcduFolder f;
  f.Parent = root ? -1 : open_.back();
  f.Name = info.Name;
  f.ReadError = info.ReadError;
  f.Excluded = info.Excluded;
  f.LatestChange = info.MTime;
  devices_.push_back(info.HasDev ? info.Dev : (devices_.empty() ? 0 : devices_.back()));
  open_.push_back(static_cast<int32_t>(folders_.size()));
  folders_.push_back(std::move(f));
  return true;
}

void TParser::CloseFolder() {
  const int32_t index = open_.back();
  open_.pop_back();
  devices_.pop_back();
  TNcduFolder& f = folders_[static_cast<size_t>(index)];
  f.Size = SaturatingAdd(f.Size, f.FilesSize);
  f.DiskSize = SaturatingAdd(f.DiskSize, f.FilesDiskSize);
  f.TotalFiles = SaturatingAdd(f.TotalFiles, f.Files);
  f.LatestChange = std::max(f.LatestChange, f.FilesLatestChange);
  for (size_t i = 0; i < 7; ++i) f.SlackAt[i] = SaturatingAdd(f.SlackAt[i], f.FilesSlackAt[i]);
  if (f.Parent < 0) return;
  TNcduFolder& p = folders_[static_cast<size_t>(f.Parent)];
  p.Size = SaturatingAdd(p.Size, f.Size);
  p.DiskSize = SaturatingAdd(p.DiskSize, f.DiskSize);
  p.TotalFiles = SaturatingAdd(p.TotalFiles, f.TotalFiles);
  p.TotalFolders = SaturatingAdd(p.TotalFolders, SaturatingAdd(f.TotalFolders, 1));
  p.LatestChange = std::max(p.LatestChange, f.LatestChange);
  for (size_t i = 0; i < 7; ++i) p.SlackAt[i] = SaturatingAdd(p.SlackAt[i], f.SlackAt[i]);
  ++p.SubFolders;
}

void TParser::AddFile(const TInfo& info) {
  TNcduFolder& f = folders_[static_cast<size_t>(open_.back())];
  if (info.Excluded) return;
  ++f.Files;
  f.FilesLatestChange = std::max(f.FilesLatestChange, info.MTime);
  // A file with several names adds its bytes once, at the first name met.
  if (info.HardLink && !links_.insert({info.HasDev ? info.Dev : devices_.back(), info.Ino}).second) return;
  f.FilesSize = SaturatingAdd(f.FilesSize, info.ASize);
  f.FilesDiskSize = SaturatingAdd(f.FilesDiskSize, info.DSize);
  for (int i = 1; i <= 7; ++i)
    f.FilesSlackAt[static_cast<size_t>(i - 1)] =
        SaturatingAdd(f.FilesSlackAt[static_cast<size_t>(i - 1)], ClusterSlack(StandardClusterSizes[static_cast<size_t>(i)], info.ASize));
}

TNcduScan TParser::Run() {
  TNcduScan scan;
  int64_t major = 0;
  int64_t minor = 0;
  TInfo info;
  bool ok = Take('[', "not an ncdu export: it does not begin with [") && Unsigned(&major);
  if (ok && major != 1) ok = Fail("an export of another major version than 1");
  ok = ok && Take(',', "a comma was expected") && Unsigned(&minor) && Take(',', "a comma was expected") && Metadata(scan) &&
       Take(',', "a comma was expected") && Take('[', "the scanned folder ([{...}, ...]) was expected") && Info(&info) &&
       OpenFolder(info);
  scan.MinorVersion = static_cast<int>(std::min<int64_t>(minor, 10000));
  // The folders: each element after a folder's info block is a file's block or a subfolder.
  while (ok && !open_.empty()) {
    SkipWs();
    if (p_ >= end_) {
      ok = Fail("the file ends too early");
      break;
    }
    if (*p_ == ']') {
      ++p_;
      CloseFolder();
      continue;
    }
    if (*p_ != ',') {
      ok = Fail("a comma or ] was expected");
      break;
    }
    ++p_;
    SkipWs();
    if (p_ < end_ && *p_ == '[') {
      ++p_;
      ok = Info(&info) && OpenFolder(info);
    } else {
      ok = Info(&info);
      if (ok) {
        if (info.Name.isEmpty() || info.Name == "." || info.Name == ".." || info.Name.contains('/') || info.Name.contains('\0'))
          ok = Fail("a file name that cannot be a name");
        else
          AddFile(info);
      }
    }
  }
  if (ok) {
    // Elements after the folder are allowed and skipped; then the file must end.
    while (ok) {
      SkipWs();
      if (p_ < end_ && *p_ == ',') {
        ++p_;
        ok = SkipValue();
        continue;
      }
      ok = Take(']', "a comma or ] was expected");
      break;
    }
    SkipWs();
    if (ok && p_ != end_) ok = Fail("more data after the end of the export");
  }
  // What was read before a fault keeps consistent figures: the open folders are closed.
  while (!open_.empty()) CloseFolder();
  scan.Folders = std::move(folders_);
  scan.Complete = ok;
  scan.Error = ok ? QString() : error_;
  if (!ok && scan.Error.isEmpty()) scan.Error = QStringLiteral("not an ncdu export");
  return scan;
}

}  // namespace

TNcduScan ReadNcduExport(std::string_view bytes, const TNcduLimits& limits) { return TParser(bytes, limits).Run(); }

TNcduScan ReadNcduFile(const QString& path, const TNcduLimits& limits) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    TNcduScan scan;
    scan.Error = QStringLiteral("cannot open %1: %2").arg(path, f.errorString());
    return scan;
  }
  const qint64 size = f.size();
  if (size > 0) {
    if (uchar* map = f.map(0, size)) {
      TNcduScan scan = ReadNcduExport(std::string_view(reinterpret_cast<const char*>(map), static_cast<size_t>(size)), limits);
      f.unmap(map);
      return scan;
    }
  }
  // Not a mappable file (a pipe, an empty or special file): read it whole.
  const QByteArray all = f.readAll();
  return ReadNcduExport(std::string_view(all.constData(), static_cast<size_t>(all.size())), limits);
}
