// libFuzzer target: any bytes given to the wave header reader.
#include <cstddef>
#include <cstdint>

#include "media/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto info = media::parseWav({data, size});
  if (!info) return 0;
  // What is accepted is plausible and lies within the bytes given.
  const bool plausible =
      info->sampleRate >= media::kMinSampleRate && info->sampleRate <= media::kMaxSampleRate &&
      info->channels >= 1 && info->channels <= 2 && info->dataOffset <= size &&
      info->dataBytes <= size - info->dataOffset && info->durationMs() <= media::kLongestSoundMs;
  if (!plausible) __builtin_trap();
  // Exactly the checked samples are read, and no byte beyond them.
  if (media::samples16(*info, {data, size}).size() * info->bitsPerSample / 8 != info->dataBytes)
    __builtin_trap();
  return 0;
}
