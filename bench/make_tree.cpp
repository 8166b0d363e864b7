// Builds the benchmark's deterministic folder tree: FOLDERS folders in three levels with FILES
// sparse files spread over them (sizes from a fixed pseudo-random sequence).
// usage: korvane-bench-tree TARGET FOLDERS FILES
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: korvane-bench-tree TARGET FOLDERS FILES\n", stderr);
    return 2;
  }
  const std::string target = argv[1];
  const long folders = std::strtol(argv[2], nullptr, 10);
  const long files = std::strtol(argv[3], nullptr, 10);
  if (::mkdir(target.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(target.c_str());
    return 1;
  }
  // Three levels: about folders^(1/3) children per folder.
  long fan = 1;
  while (fan * fan * fan + fan * fan + fan < folders) ++fan;
  std::vector<std::string> made;
  made.reserve(static_cast<size_t>(folders));
  char name[64];
  for (long a = 0; a < fan && static_cast<long>(made.size()) < folders; ++a) {
    std::snprintf(name, sizeof name, "/project-%03ld", a);
    const std::string level1 = target + name;
    made.push_back(level1);
    for (long b = 0; b < fan && static_cast<long>(made.size()) < folders; ++b) {
      std::snprintf(name, sizeof name, "/module-%03ld", b);
      const std::string level2 = level1 + name;
      made.push_back(level2);
      for (long c = 0; c < fan && static_cast<long>(made.size()) < folders; ++c) {
        std::snprintf(name, sizeof name, "/source files %03ld", c);
        made.push_back(level2 + name);
      }
    }
  }
  for (const std::string& dir : made) {
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
      std::perror(dir.c_str());
      return 1;
    }
  }
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  for (long i = 0; i < files; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::string& dir = made[static_cast<size_t>(i) % made.size()];
    std::snprintf(name, sizeof name, "/document-%06ld.dat", i);
    const std::string path = dir + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror(path.c_str());
      return 1;
    }
    // Mostly small files with a long tail, as real trees have.
    const uint64_t r = state >> 33;
    const off_t size = static_cast<off_t>((r % 7 == 0) ? r % (64 << 20) : r % 20000);
    if (::ftruncate(fd, size) != 0) std::perror(path.c_str());
    ::close(fd);
  }
  std::printf("%zu folders, %ld files in %s\n", made.size(), files, target.c_str());
  return 0;
}
