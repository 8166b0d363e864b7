#pragma once
// A folder's ".hidden" file (the file managers' convention): one name per line, LF or CR LF line
// ends, empty lines ignored. Names are raw bytes, compared exactly.

#include <QByteArray>
#include <QSet>

QSet<QByteArray> ParseHiddenList(const QByteArray& text);
