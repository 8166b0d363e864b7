// --help and --version.

#include "app/InfoOptions.h"

#include "shell/core/VersionInfo.h"

#include <cstdio>
#include <cstring>

std::optional<int> AnswerInfoOption(int argc, char** argv, const char* program, const char* usage) {
  if (argc != 2) return std::nullopt;
  if (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s (build %s)\n", program, ProgramVersion().toUtf8().constData(),
                ProgramBuildNumber().toUtf8().constData());
    return 0;
  }
  return std::nullopt;
}
