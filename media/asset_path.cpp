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

}  // namespace media
