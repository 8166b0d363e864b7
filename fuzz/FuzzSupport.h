#pragma once
// Helpers shared by the fuzz targets: a check that aborts (so that libFuzzer keeps the input),
// scratch folders, and splitting an input into command-line arguments.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// Aborts with the condition's text: libFuzzer reports it as a crash and saves the input.
#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) FuzzCheckFailed(#condition, __FILE__, __LINE__);            \
  } while (false)

[[noreturn]] void FuzzCheckFailed(const char* condition, const char* file, int line);

inline QByteArray FuzzBytes(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A new empty folder under $TMPDIR (or /tmp), made once per process; the same path every call.
const QByteArray& FuzzScratchFolder();
// Removes everything inside folder (never following links), keeping the folder itself.
void FuzzEmptyFolder(const QByteArray& folder);
// The names directly inside folder, sorted.
QList<QByteArray> FuzzFolderNames(const QByteArray& folder);
// Writes bytes to path (replacing it); aborts when that fails.
void FuzzWriteFile(const QByteArray& path, const QByteArray& bytes);

// The input as arguments: split at NUL bytes and line feeds, each part decoded as the programs
// decode their arguments (QFile::decodeName).
QStringList FuzzArguments(const QByteArray& input);
