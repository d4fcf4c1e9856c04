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
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::string& path,
                                                         std::size_t maxBytes);

}  // namespace media
