#pragma once
// Host file names are bytes; the program shows and handles them as QString. Valid UTF-8 decodes
// as such, every other byte b to the lone surrogate U+DC00 + b, and "\" and ":" (which would break
// drive paths) to the private-use characters U+F05C and U+F03A. Encoding reverses all of it, so
// every name reaches the very same host entry.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

constexpr char16_t HostBackslashChar = 0xF05C;
constexpr char16_t HostColonChar = 0xF03A;

QString DecodeHostName(std::string_view raw);
QByteArray EncodeHostName(QStringView name);

// Any bytes as text (hand-edited files, stored host paths): valid UTF-8 decodes as such and every
// other byte b to U+DC00 + b; encoding gives the same bytes back. A lone surrogate that stands for
// no byte encodes as U+FFFD.
QString DecodeEscapedUtf8(std::string_view bytes);
inline QString DecodeEscapedUtf8(const QByteArray& bytes) {
  return DecodeEscapedUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}
QByteArray EncodeEscapedUtf8(QStringView text);

// True when DecodeHostName(raw) is raw read as UTF-8 unchanged: valid UTF-8 without "\" or ":"
// and without the two private-use characters. For such names the WTF-8 text is the raw name.
bool IsPlainHostName(std::string_view raw);

// WTF-8: UTF-8 that also carries lone surrogates; a lossless byte form of any QString.
std::string EncodeWtf8(QStringView text);
void AppendWtf8(std::string& out, QStringView text);
QString DecodeWtf8(std::string_view bytes);
