#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace app {
namespace {

// Theirs, a real folder and not a link to one, that nobody else may enter.
bool privateFolder(const std::string& path, unsigned uid) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
         (st.st_mode & 077) == 0;
}

// Empty when there is no such folder: another account made the spare one.
std::string folderFor(unsigned uid, const std::string& runtimeDir, const std::string& spareBase) {
  if (!runtimeDir.empty() && privateFolder(runtimeDir, uid)) return runtimeDir;
  const std::string spare = spareBase + "/yumble-" + std::to_string(uid);
  mkdir(spare.c_str(), 0700);
  return privateFolder(spare, uid) ? spare : "";
}

// The screen's name as a file name; hashed where it would not fit a socket's address.
std::string fileName(const std::string& folder, const std::string& screen) {
  std::string name = "yumble-";
  for (const unsigned char c : screen) {
    if (std::isalnum(c) || c == '.' || c == ':' || c == '-') {
      name += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      name += escaped;
    }
  }
  if (folder.size() + name.size() + 7 <= sizeof(sockaddr_un{}.sun_path)) return name;
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const unsigned char c : screen) hash = (hash ^ c) * 1099511628211ULL;
  char hashed[32];
  std::snprintf(hashed, sizeof hashed, "yumble-%016llx", static_cast<unsigned long long>(hash));
  return hashed;
}

bool addressOf(const std::string& path, sockaddr_un& addr) {
  addr = sockaddr_un{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// The connection itself is the request: the game it reaches comes forward.
void callOn(const std::string& path) {
  sockaddr_un addr;
  if (!addressOf(path, addr)) return;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  static_cast<void>(connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr));
  close(fd);
}

int listenOn(const std::string& path) {
  sockaddr_un addr;
  if (!addressOf(path, addr)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // Any socket left here is a dead game's: the lock is this one's.
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 4) == 0)
    return fd;
  close(fd);
  return -1;
}

}  // namespace

SingleInstance::SingleInstance(unsigned uid, const std::string& screen,
                               const std::string& runtimeDir, const std::string& spareBase) {
  const std::string folder = folderFor(uid, runtimeDir, spareBase);
  if (folder.empty()) return;
  const std::string base = folder + "/" + fileName(folder, screen);
  lock_ = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_ < 0) return;
  if (flock(lock_, LOCK_EX | LOCK_NB) == 0) {
    calls_ = listenOn(base + ".sock");
    return;
  }
  if (errno == EWOULDBLOCK) {
    claimed_ = false;
    callOn(base + ".sock");
  }
  close(lock_);
  lock_ = -1;
}

SingleInstance::~SingleInstance() {
  if (calls_ >= 0) close(calls_);
  if (lock_ >= 0) close(lock_);
}

std::string screenName(const std::string& display, bool wayland, const std::string& runtimeDir) {
  // A Wayland name is a socket's, in the runtime folder unless it is a path:
  // the same name in two folders is two compositors.
  if (wayland)
    return "wayland-" + (display.starts_with('/') ? display : runtimeDir + "/" + display);
  const auto colon = display.rfind(':');
  if (colon == std::string::npos) return "x11-" + display;
  std::string host = display.substr(0, colon);
  if (host.rfind("unix/", 0) == 0) host.erase(0, 5);
  if (host == "unix") host.clear();
  std::string number = display.substr(colon + 1);
  if (number.find('.') == std::string::npos) number += ".0";
  return "x11-" + host + ":" + number;
}

SingleInstance claimThisScreen() {
  const char* display = std::getenv("DISPLAY");
  const bool wayland = display == nullptr || *display == '\0';
  if (wayland) display = std::getenv("WAYLAND_DISPLAY");
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtimeDir != nullptr ? runtimeDir : "";
  return SingleInstance(getuid(), screenName(display != nullptr ? display : "", wayland, folder),
                        folder);
}

}  // namespace app
