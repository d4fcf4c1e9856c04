#include "app/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace app {

SingleInstance::SingleInstance(const std::string& name) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  // An abstract name starts with a zero byte and is not a file.
  const std::size_t length = std::min(name.size(), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, name.data(), length);
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&addr), size) == 0) return;
  claimed_ = errno != EADDRINUSE;
  close(fd_);
  fd_ = -1;
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) close(fd_);
}

std::string instanceName(unsigned uid, const std::string& display) {
  return "yumble/" + std::to_string(uid) + "/" + display;
}

SingleInstance claimThisScreen() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') display = std::getenv("WAYLAND_DISPLAY");
  return SingleInstance(instanceName(getuid(), display != nullptr ? display : ""));
}

}  // namespace app
