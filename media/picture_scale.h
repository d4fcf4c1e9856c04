#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "media/file_read.h"
#include "media/picture.h"

namespace media {

// Beside each picture NAME.bmp drawn for the designs' 800 x 600 screen, the
// build draws NAME@2x.qoi and NAME@3x.qoi at two and three times its size,
// so that a larger screen shows sharp pictures rather than enlarged pixels.
inline constexpr int kLargestSet = 3;

// The set to draw from at a scale: the smallest at or above it, else the largest.
int pictureSetFor(double scale);

// "dir/NAME.bmp" becomes "dir/NAME@2x.qoi" for set 2.
std::string largerSetPath(const std::string& bmpPath, int set);

// Each new pixel is the mean of the old pixels it covers, each in proportion
// to how much of it is covered: a smooth reduction without the shimmer of
// skipped pixels, and a mild enlargement that blurs only the seams.
Picture resample(const Picture& p, int width, int height);

// A picture drawn at `set` times its design size, brought to `scale` times
// that size; it keeps its design size for the layout. Nothing when its sides
// are not whole multiples of the set.
std::optional<Picture> fitToScale(Picture p, int set, double scale);

// A QOI picture or a bitmap, whichever the bytes hold.
std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes);

// The drawings of a picture and the scale to fit them to, kept undecoded
// until the picture is first shown: most pictures the game loads are replaced
// before anyone sees them, and fitting one to a large screen takes
// milliseconds. Once fitted, only the fitted pixels are kept, shared with
// every other picture read from the same bytes (see onScreen).
struct LaterFit {
  std::span<const std::uint8_t> design;  // the design's own picture, checked
  std::span<const std::uint8_t> larger;  // the larger set's QOI bytes, or none
  std::vector<std::uint8_t> files[2];    // what the two above show, when read from files
  // When only the start of the design's bitmap was read: its file and its
  // whole length. The rest is read only if the larger set cannot be shown.
  std::string designFile;
  std::size_t designSize = 0;
  int set = 1;
  double scale = 1;
  void (*read)() = nullptr;  // called once the bytes above have been read
  std::once_flag done;
  std::shared_ptr<const Picture> fitted;
  // A picture never shown (the first screen's loads replace one another)
  // hands its files back to be read into, as a fitted one does.
  ~LaterFit();
};

// The design's own picture (nothing when it will not decode, whatever the
// screen). For a larger screen only its size, with what onScreen needs to
// draw it there: the larger set's QOI bytes, or the design's bitmap enlarged
// when those are missing or unreadable.
std::optional<Picture> decodeForScale(std::vector<std::uint8_t> design,
                                      std::vector<std::uint8_t> larger, int set, double scale);
// The same from the start of the design's bitmap, read from `path`, beside
// the larger set's bytes: nothing when that start does not show a whole
// uncompressed bitmap (see checkBmp).
std::optional<Picture> decodeForScale(FileStart design, const std::string& path,
                                      std::vector<std::uint8_t> larger, int set, double scale);
// The same for bytes that last as long as the program (its built-in art):
// they are kept where they are, and read only if the picture is shown.
std::optional<Picture> decodeForScale(std::span<const std::uint8_t> design,
                                      std::span<const std::uint8_t> larger, int set, double scale);

// The picture as the screen shows it, fitted to the screen's scale the first
// time it is asked for. The frog's frames are read afresh at every tick, but
// the same bytes give the same pixels: the last few fitted pictures are
// remembered by a hash of the bytes they came from (and the scale), so a
// frame seen before costs a read and a hash. A changed file hashes
// differently and is fitted anew.
const Picture& onScreen(const Picture& p);

// Lets the remembered fitted pictures go (a picture still held keeps its
// own): for the end of a part of the game whose pictures do not come back.
void forgetFitted();

// How many fitted pictures are remembered: the frog's seven eating frames
// and three talking frames.
inline constexpr std::size_t kFittedRemembered = 10;

}  // namespace media
