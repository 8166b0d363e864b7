#pragma once
// How every size, count, date and attribute set of the program reads.

#include <QString>

#include <cstdint>

QString FormatCount(int32_t value);
QString FormatCount64(int64_t value);
QString FormatBytes(int64_t value);
QString FormatSize(int64_t value);
QString FormatSize32(int32_t value);

bool IsZeroFileTime(uint64_t fileTime);
QString FormatFileTime(uint64_t fileTime);
uint32_t PackedDosDateTime(uint64_t fileTime);

QString AttributesText(uint32_t attributes);

// Kinds of error box.
enum TErrorKind { ekFatal = 0, ekInitialization = 1, ekProgram = 2 };
// The caption of the error box of that kind.
QString ErrorCaption(int kind);
extern const QString ProgramName;  // "Korvane"
