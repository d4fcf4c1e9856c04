#include "media/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <utility>

namespace media {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Pictures are read on the drawing thread and on the one that fits them ahead.
std::mutex spareMutex;
std::array<std::vector<std::uint8_t>, 2> spares;

// The smallest kept buffer of at least `size` bytes, or a new empty one.
std::vector<std::uint8_t> takeSpare(std::size_t size) {
  std::lock_guard lock(spareMutex);
  std::vector<std::uint8_t>* best = nullptr;
  for (auto& s : spares)
    if (s.capacity() >= size && (!best || s.capacity() < best->capacity())) best = &s;
  return best ? std::exchange(*best, {}) : std::vector<std::uint8_t>{};
}

}  // namespace

void giveBack(std::vector<std::uint8_t>&& bytes) {
  if (bytes.capacity() == 0) return;
  std::vector<std::uint8_t> old;  // freed outside the lock
  std::lock_guard lock(spareMutex);
  auto smallest = std::min_element(spares.begin(), spares.end(),
                                   [](auto& a, auto& b) { return a.capacity() < b.capacity(); });
  if (smallest->capacity() < bytes.capacity()) old = std::exchange(*smallest, std::move(bytes));
}

void letGoSpareBuffers() {
  std::array<std::vector<std::uint8_t>, 2> old;
  std::lock_guard lock(spareMutex);
  old.swap(spares);
}

std::size_t spareBufferBytes() {
  std::lock_guard lock(spareMutex);
  return spares[0].capacity() + spares[1].capacity();
}

namespace {

// The file opened if it is a regular file of at most maxBytes, with its size.
std::optional<std::pair<Fd, std::size_t>> openRegularFile(const std::string& path,
                                                          std::size_t maxBytes) {
  // O_NONBLOCK: opening a named pipe with no writer would otherwise wait for
  // ever; it is refused below once fstat says what it is.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<std::uint64_t>(st.st_size) > maxBytes)
    return std::nullopt;
  return std::pair{std::move(fd), static_cast<std::size_t>(st.st_size)};
}

}  // namespace

std::optional<FileStart> readFileStart(const std::string& path, std::size_t maxBytes,
                                       std::size_t count) {
  auto file = openRegularFile(path, maxBytes);
  if (!file) return std::nullopt;
  FileStart start{std::vector<std::uint8_t>(std::min(count, file->second)), file->second};
  std::size_t got = 0;
  while (got < start.bytes.size()) {
    const ssize_t n = ::read(file->first.get(), start.bytes.data() + got, start.bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  start.bytes.resize(got);
  return start;
}

std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes, bool spare) {
  auto file = openRegularFile(path, maxBytes);
  if (!file) return std::nullopt;
  const Fd& fd = file->first;
  // The size is only a promise: the file may change while it is read, so the
  // bound holds on what actually comes.
  const std::size_t size = file->second + 1;
  std::vector<std::uint8_t> bytes = spare ? takeSpare(size) : std::vector<std::uint8_t>{};
  bytes.resize(size);
  std::size_t got = 0;
  for (;;) {
    if (got == bytes.size()) {
      if (bytes.size() > maxBytes) return std::nullopt;
      bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > maxBytes) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

}  // namespace media
