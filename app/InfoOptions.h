// --help and --version for the programs: answered before anything else starts (the windowed
// program needs no display for them).
#pragma once

#include <optional>

// When the command line is exactly one of -h, --help or --version, prints the usage text or the
// version line ("program 3.0.1 (build N)") to standard output and returns the exit status 0.
std::optional<int> AnswerInfoOption(int argc, char** argv, const char* program, const char* usage);
