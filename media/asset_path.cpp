#include "media/asset_path.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

// Plain C calls rather than std::filesystem: its code is a large part of the
// C++ library, and the pages it touches stay with the game.
namespace media {

std::string programDirectory() {
  char buf[PATH_MAX];
  if (!realpath("/proc/self/exe", buf)) return getcwd(buf, sizeof buf) ? buf : ".";
  std::string exe = buf;
  exe.resize(std::max<std::size_t>(exe.rfind('/'), 1));  // the root keeps its slash
  return exe;
}

std::string dataDirectory(const std::string& programDir, const std::string& installed) {
  const std::string data = programDir + "/" + installed;
  struct stat s {};
  char buf[PATH_MAX];
  if (!installed.empty() && stat(data.c_str(), &s) == 0 && S_ISDIR(s.st_mode) &&
      realpath(data.c_str(), buf))
    return buf;
  return programDir;
}

}  // namespace media
