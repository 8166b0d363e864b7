#include "scan/ShortNames.h"

namespace {

bool IsShortNameChar(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '(': case ')':
    case '-': case '@': case '^': case '_': case '`': case '{': case '}': case '~':
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsUpperShortName(std::string_view name) {
  const size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string_view::npos && ext.empty()) return false;
  for (char c : base)
    if (!IsShortNameChar(c)) return false;
  for (char c : ext)
    if (!IsShortNameChar(c)) return false;
  return true;
}

std::string NormalisedShortName(std::string_view name) {
  std::string text(name);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

