#pragma once
// TZipMaster: the ZIP component the archive and restore operations drive. It writes and reads
// standard ZIP files through libarchive:
// - Add writes under a temporary name beside ZipFilename, closes and flushes it, reads every
//   member back (CRC and, for encrypted members, the authentication code), and only then renames
//   it to ZipFilename (never over an existing file). With AddMove the sources that are in the
//   verified archive are deleted afterwards (DeleteAddedSources does the same on demand).
// - Names are stored as their raw bytes; the UTF-8 flag is set only on names that are valid
//   UTF-8. Links are stored as links, modes and modification times are kept, ZIP64 is used where
//   sizes or offsets need it. AddEncrypt encrypts with AES-256.
// - Extract checks every member first (no absolute path, no drive letter, no ".." with "/" or
//   "\" as separators, no duplicate, nothing below a link, nothing but files, folders and links,
//   nothing whose place in the target is taken) and refuses the whole archive when one is wrong.
//   It never follows a link on disk, writes each file under a temporary name and renames it into
//   place only when its data checked out, so a corrupt member never replaces a file.
// All host paths are raw bytes. Widget-free: the password and the events are callbacks.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

enum TZipAddOption : unsigned {
  AddDirNames = 1u << 0,
  AddRecurseDirs = 1u << 1,
  AddMove = 1u << 2,
  AddHiddenFiles = 1u << 3,
  AddEncrypt = 1u << 4,
};
using TZipAddOptions = unsigned;

enum class TZipProgrType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };

enum class TZipPasswordPurpose {
  Encrypt,  // a new password for the archive being written (a window asks for it twice)
  Decrypt,  // the password of an encrypted archive
  Retry,    // the password given was wrong; ask again
};

// One member of an archive, as its central directory gives it.
struct TZipContentEntry {
  QByteArray Name;      // path inside the archive, raw bytes, "/" separated
  int64_t Size = 0;     // uncompressed size
  mode_t Type = 0;      // S_IFREG, S_IFDIR, S_IFLNK, or what a member stored from a FIFO,
                        // device or socket says it is (Extract refuses those)
  mode_t Mode = 0;      // permission bits
  int64_t MTime = 0;    // seconds since 1970
  QByteArray LinkTarget;
  bool Encrypted = false;
};

// Error codes of the last operation (ErrCode) and of the message event.
enum TZipError : int {
  ZipOk = 0,
  ZipErrOpen = 1,       // the archive cannot be opened or created
  ZipErrRead = 2,       // a source file cannot be read
  ZipErrWrite = 3,      // writing failed (disk full, I/O error)
  ZipErrCorrupt = 4,    // bad CRC, bad data, truncated archive
  ZipErrPassword = 5,   // no password or a wrong one
  ZipErrUnsafe = 6,     // a member path is refused
  ZipErrCancelled = 7,
  ZipErrSpace = 8,      // the members would not fit on the target
  ZipErrVerify = 9,     // the archive read back differs from what was added
  ZipErrExists = 10,    // the archive name is taken
};

class TZipMaster {
public:
  TZipMaster();
  ~TZipMaster();
  TZipMaster(const TZipMaster&) = delete;
  TZipMaster& operator=(const TZipMaster&) = delete;

  // The archive's host path. Setting it reads the central directory of an existing archive into
  // Contents() (an archive that cannot be read gives an empty list and a message).
  void SetZipFilename(const QByteArray& hostPath);
  const QByteArray& ZipFilename() const { return zipFilename_; }
  const std::vector<TZipContentEntry>& Contents() const { return contents_; }
  int64_t ContentsSize() const;  // sum of the members' uncompressed sizes

  TZipAddOptions AddOptions = AddDirNames;
  int AddCompLevel = 9;
  // What Add stores: paths relative to RootDir (each a file or a folder; a trailing "/*.*",
  // "\*.*" or "/*" names the folder itself). With AddDirNames the members keep these relative
  // names; without it only file names are stored.
  QStringList FSpecArgs;
  QByteArray RootDir;  // host folder FSpecArgs are relative to; empty: the working folder
  // Folders (by device and inode) Add leaves out, such as an archives folder inside the folder.
  std::vector<std::pair<dev_t, ino_t>> ExcludeFolders;

  QByteArray ExtrBaseDir;  // host folder members are extracted into (created when missing)
  // Extraction recreates folder names and merges into folders that are there. Without
  // ExtrReplace it replaces nothing: a member whose place is taken (by anything but a folder for a
  // folder) stops the whole extraction before anything is written. A failed password or any
  // failure before the first member leaves no folder made on the way.
  bool ExtrReplace = false;

  std::function<void(TZipProgrType type, const QString& fileName, int64_t fileSize)> OnProgress;
  std::function<void(int errCode, const QString& message)> OnMessage;
  // Called now and then while the engine works without progress to report (collecting the
  // sources, reading a written archive back), so that a window can keep answering and Stop.
  std::function<void()> OnBusy;
  // Called by Add once the archive is written and read back, just before it gets its name;
  // returning false stops Add and removes the archive. A catalogue entry written here means no
  // complete archive is ever without one, whenever the process is killed.
  std::function<bool()> OnBeforeRename;
  // Asked for a password; nullopt means the user gave none (the operation stops).
  std::function<std::optional<QByteArray>(TZipPasswordPurpose purpose)> OnPassword;

  // Returns whether the archive was written, verified and renamed to ZipFilename.
  bool Add();
  // Returns whether every member was extracted.
  bool Extract();
  // Deletes the sources the last Add put into the verified archive: files and links that are
  // unchanged since they were added, then the folders that are empty. Entries that changed are
  // kept and reported. A Stop (Cancel, or through OnBusy) is honoured between entries: the rest
  // is kept. Returns whether every added file was deleted.
  bool DeleteAddedSources();
  // The mount points (and entries of other file systems) the last Add left out.
  const QList<QByteArray>& MountsLeftOut() const { return mountsLeftOut_; }

  void Cancel() { cancel_.store(true); }
  bool Cancelled() const { return cancel_.load(); }
  void ResetCancel() { cancel_.store(false); }

  int SuccessCnt() const { return successCnt_; }
  int ErrCode() const { return errCode_; }
  // Every error message of the last operation (also sent through OnMessage).
  const QStringList& Errors() const { return errors_; }
  // The host paths the last DeleteAddedSources could not delete.
  const QList<QByteArray>& KeptSources() const { return kept_; }
  // Sum of the sizes of the regular files the last Add stored.
  int64_t AddedBytes() const { return addedBytes_; }
  int AddedCount() const;

  // Removes what killed Add runs left in folder: temporary archives no running Add holds locked.
  static void RemoveStaleParts(const QByteArray& folder);

  // Whether a member path is one Extract would write: relative, no drive letter, no ".."
  // component with either separator. Empty or "." components are allowed and skipped.
  static bool IsSafeMemberPath(const QByteArray& name);
  // Members with longer names are refused (no path that long can be opened).
  static constexpr qsizetype MaxMemberNameBytes = 4096;

  struct TAdded;  // what Add stored about each source (internal)

private:
  void Message(int code, const QString& text);
  void Fail(int code, const QString& text);
  bool CollectSources(std::vector<TAdded>& out);
  bool WriteArchive(const QByteArray& tempPath, const std::vector<TAdded>& items,
                    const QByteArray& password);
  bool VerifyArchive(const QByteArray& path, const std::vector<TAdded>& items,
                     const QByteArray& password);
  // *damaged: the file is there but does not read as a ZIP archive.
  bool ReadContents(const QByteArray& path, std::vector<TZipContentEntry>& out, QString* error,
                    bool* damaged = nullptr);
  std::optional<QByteArray> FindPassword();
  void Tick(int64_t bytes);  // counts bytes towards ProgressUpdate events

  QByteArray zipFilename_;
  std::vector<TZipContentEntry> contents_;
  std::vector<TAdded> added_;
  QList<QByteArray> kept_;
  QList<QByteArray> mountsLeftOut_;
  QStringList errors_;
  std::atomic<bool> cancel_{false};
  int successCnt_ = 0;
  int errCode_ = 0;
  int64_t addedBytes_ = 0;
  int64_t tickBytes_ = 0;
  QByteArray password_;  // of the archive being read, once known
};

struct TZipMaster::TAdded {
  QByteArray HostPath;
  QByteArray Name;  // member name
  mode_t Type = 0;
  mode_t Mode = 0;
  int64_t Size = 0;
  dev_t Dev = 0;
  ino_t Ino = 0;
  int64_t MTimeSec = 0;
  int64_t MTimeNsec = 0;
  QByteArray LinkTarget;
};

inline int TZipMaster::AddedCount() const { return int(added_.size()); }
