#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace media {

// The most each kind of file may hold; anything larger is not one of ours.
// The largest picture today is a 24-bit bitmap of about 300 KB; a picture set
// for big screens at three times the size each way would be about 2.8 MB.
inline constexpr std::size_t kMaxPictureFileBytes = 16u << 20;
// The longest sound is 4.4 s of 44.1 kHz 16-bit mono, about 390 KB; 8 MB holds
// 47 s of 44.1 kHz 16-bit stereo.
inline constexpr std::size_t kMaxSoundFileBytes = 8u << 20;

// The whole of a regular file of at most maxBytes, or nothing: a missing file,
// a folder, a named pipe, a device, a file too large or one that cannot be
// read are all the same failure. Never blocks waiting for a writer.
// With `spare`, the bytes go into a buffer handed back by giveBack if one
// is large enough: the frog's frame files are read afresh at every eating
// tick, and a fresh buffer of their size is a fresh mapping whose pages the
// kernel clears and faults in one by one, dearer than the read itself.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes, bool spare = false);

// The first `count` bytes of such a file (all of it when shorter), and how
// long it is: for a file of which only a header is needed.
struct FileStart {
  std::vector<std::uint8_t> bytes;
  std::size_t size = 0;
};
std::optional<FileStart> readFileStart(const std::string& path, std::size_t maxBytes,
                                       std::size_t count);

// A buffer whose bytes are no longer needed, kept for the next read with
// `spare` (at most two are kept; the smaller goes).
void giveBack(std::vector<std::uint8_t>&& bytes);
// Lets the kept buffers go: for when the program waits a while, so that they
// are held only between reads that follow closely.
void letGoSpareBuffers();
// The bytes of memory the kept buffers hold.
std::size_t spareBufferBytes();

}  // namespace media
