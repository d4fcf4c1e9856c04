#include "media/asset_path.h"

#include <filesystem>
#include <system_error>

namespace media {

std::string programDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

std::string dataDirectory(const std::string& programDir, const std::string& installed) {
  std::error_code ec;
  const auto data = std::filesystem::path(programDir) / installed;
  if (!installed.empty() && std::filesystem::is_directory(data, ec)) {
    return data.lexically_normal().string();
  }
  return programDir;
}

}  // namespace media
