#pragma once
// Folder names on file systems that ignore case: a name in capitals that is itself a valid 8.3
// name (WINDOWS) is shown as Windows, as such names have no separate long form there.

#include <string>
#include <string_view>

// True for a valid upper-case 8.3 name: one to eight name characters, optionally a dot and one to
// three more; letters only in upper case.
bool IsUpperShortName(std::string_view name);
// ASCII letters to lower case, then the first to upper case.
std::string NormalisedShortName(std::string_view name);
