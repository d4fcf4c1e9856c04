#include "media/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <mutex>
#include <tuple>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "media/bitmap.h"
#include "media/file_read.h"
#include "media/qoi.h"

namespace media {
namespace {

// How much each old pixel counts towards each new pixel along one side: new
// pixel i takes old pixels first[i] .. first[i] + count[i] - 1, with weights
// from weights[at[i]] on, which sum to 1.
struct Taps {
  std::vector<int> first, count, at;
  std::vector<float> weights;
};

Taps taps(int from, int to) {
  Taps t;
  const double step = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    const double lo = i * step, hi = (i + 1) * step;
    const int first = static_cast<int>(lo);
    const int last = std::min(from - 1, static_cast<int>(std::ceil(hi)) - 1);
    t.first.push_back(first);
    t.count.push_back(last - first + 1);
    t.at.push_back(static_cast<int>(t.weights.size()));
    for (int j = first; j <= last; ++j)
      t.weights.push_back(static_cast<float>(
          (std::min(hi, j + 1.0) - std::max(lo, static_cast<double>(j))) / step));
  }
  return t;
}

// sum = (first ? 0 : sum) + bytes * weight, element by element. The two
// never overlap, which lets the compiler work on many elements at once.
void addRow(float* __restrict sum, const std::uint8_t* __restrict bytes, std::size_t n,
            float weight, bool first) {
  if (first)
    for (std::size_t i = 0; i < n; ++i) sum[i] = bytes[i] * weight;
  else
    for (std::size_t i = 0; i < n; ++i) sum[i] += bytes[i] * weight;
}

#if defined(__SSE2__)
// One row of sums (three floats a pixel) resampled along its length into
// `width` pixels, a pixel's three channels in one vector: each channel's sum
// takes the same products in the same order as one at a time would, so the
// same pixels, faster (two thirds of fitting a frame went here). The row
// holds one float more than its pixels, so four floats can always be read.
void alongRow(const float* row, const Taps& across, Rgb* to, int width) {
  const __m128 zero = _mm_setzero_ps(), top = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
  static_assert(sizeof(Rgb) == 3);
  auto* out = reinterpret_cast<std::uint8_t*>(to);
  // The lists in locals: the bytes written below could be any object's, so
  // the compiler would read each list's place again for every pixel.
  const int *first = across.first.data(), *count = across.count.data(), *at = across.at.data();
  const float* weights = across.weights.data();
  if (width <= 0) return;
  const auto last = static_cast<std::size_t>(width) - 1;
  for (std::size_t x = 0; x <= last; ++x) {
    const float* wx = weights + at[x];
    const float* c = row + 3 * static_cast<std::size_t>(first[x]);
    // The first product as it is: no product is below zero, and adding one
    // to zero gives it back to the bit.
    __m128 sum = _mm_mul_ps(_mm_loadu_ps(c), _mm_set1_ps(wx[0]));
    for (std::size_t k = 1; k < static_cast<std::size_t>(count[x]); ++k)
      sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(c + 3 * k), _mm_set1_ps(wx[k])));
    // channel(): clamped, rounded half up, truncated.
    const __m128i whole =
        _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(_mm_max_ps(sum, zero), top), half));
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(whole, whole), whole);
    const std::uint32_t rgbx = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
    // Four bytes written at once, the fourth overwritten by the next pixel.
    if (x < last)
      std::memcpy(out + 3 * x, &rgbx, 4);
    else
      std::memcpy(out + 3 * x, &rgbx, 3);
  }
}
#else
std::uint8_t channel(float v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

// One row of sums (three floats a pixel) resampled along its length into
// `width` pixels.
void alongRow(const float* row, const Taps& across, Rgb* to, int width) {
  for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
    const float* wx = &across.weights[static_cast<std::size_t>(across.at[x])];
    const float* c = &row[3 * static_cast<std::size_t>(across.first[x])];
    float r = 0, g = 0, b = 0;
    for (std::size_t k = 0; k < static_cast<std::size_t>(across.count[x]); ++k, c += 3) {
      r += c[0] * wx[k], g += c[1] * wx[k], b += c[2] * wx[k];
    }
    to[x] = {channel(r), channel(g), channel(b)};
  }
}
#endif

// A 64-bit hash of the bytes, eight at a time in four lanes: each lane's
// multiplications need not wait for the other lanes', so a frame's file
// hashes several times faster than through one lane (it is hashed at every
// tick of the eating frog).
std::uint64_t hashBytes(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  std::uint64_t lanes[4] = {0x243F6A8885A308D3ull ^ bytes.size(), 0x13198A2E03707344ull,
                            0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
  auto mix = [](std::uint64_t& h, std::uint64_t w) {
    h = (h ^ (w * kMul)) * kMul;
    h ^= h >> 31;
  };
  std::size_t i = 0;
  for (; i + 32 <= bytes.size(); i += 32) {
    std::uint64_t w[4];
    std::memcpy(w, bytes.data() + i, 32);
    for (int k = 0; k < 4; ++k) mix(lanes[k], w[k]);
  }
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    mix(lanes[0], w);
  }
  if (i < bytes.size()) {
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    mix(lanes[1], tail);
  }
  std::uint64_t h = lanes[0];
  for (int k = 1; k < 4; ++k) mix(h, lanes[k]);
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

// The last fitted pictures, newest first, by the bytes they came from and
// the scale they were fitted to. Shared by the drawing thread and the one
// that fits pictures ahead.
class Remembered {
 public:
  using Key = std::tuple<std::uint64_t, std::uint64_t, std::size_t, std::size_t, int, double>;

  std::shared_ptr<const Picture> find(const Key& key) {
    std::lock_guard lock(mutex_);
    auto it =
        std::find_if(items_.begin(), items_.end(), [&](const auto& i) { return i.first == key; });
    if (it == items_.end()) return nullptr;
    items_.splice(items_.begin(), items_, it);
    return it->second;
  }
  void keep(const Key& key, std::shared_ptr<const Picture> fitted) {
    std::lock_guard lock(mutex_);
    items_.emplace_front(key, std::move(fitted));
    if (items_.size() > kFittedRemembered) items_.pop_back();
  }
  void clear() {
    std::lock_guard lock(mutex_);
    items_.clear();
  }

 private:
  std::mutex mutex_;
  std::list<std::pair<Key, std::shared_ptr<const Picture>>> items_;
};

Remembered& remembered() {
  static Remembered r;
  return r;
}

}  // namespace

int pictureSetFor(double scale) {
  for (int set = 1; set < kLargestSet; ++set)
    if (scale <= set + 1e-9) return set;
  return kLargestSet;
}

std::string largerSetPath(const std::string& bmpPath, int set) {
  const auto dot = bmpPath.rfind('.');
  const auto slash = bmpPath.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return bmpPath.substr(0, hasExtension ? dot : bmpPath.size()) + "@" + std::to_string(set) +
         "x.qoi";
}

namespace {

// Each new row is made from the old rows `rowAt(first)` to
// `rowAt(first + count - 1)`, asked for in turn, each used before the next
// is asked for; `first` never goes back.
template <class RowAt>
Picture resampleRows(int fromWidth, int fromHeight, RowAt rowAt, int width, int height) {
  Picture out;
  out.width = width;
  out.height = height;
  if (width <= 0 || height <= 0 || fromWidth <= 0 || fromHeight <= 0) return out;
  static_assert(sizeof(Rgb) == 3, "pixels are read as three bytes in a row");
  const Taps across = taps(fromWidth, width), down = taps(fromHeight, height);
  const std::size_t rowBytes = static_cast<std::size_t>(fromWidth) * 3;
  out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  // A row at a time: down the columns into one row of the old width, then
  // along it. One row of working space, however large the picture.
  // One float more than a row, read (and not used) with the last pixel's three.
  std::vector<float> row(rowBytes + 1);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const float* weight = &down.weights[static_cast<std::size_t>(down.at[y])];
    for (int k = 0; k < down.count[y]; ++k) {
      const auto* from = reinterpret_cast<const std::uint8_t*>(rowAt(down.first[y] + k));
      if (!from) return {};
      addRow(row.data(), from, rowBytes, weight[k], k == 0);
    }
    alongRow(row.data(), across, &out.pixels[y * static_cast<std::size_t>(width)], width);
  }
  return out;
}

// The sides a picture drawn at `set` times its design size takes at `scale`;
// nothing when they are not whole multiples of the set.
std::optional<std::pair<int, int>> fittedSize(int width, int height, int set, double scale) {
  if (set < 1 || width % set != 0 || height % set != 0) return std::nullopt;
  return std::pair{std::max(1, static_cast<int>(std::lround(width / set * scale))),
                   std::max(1, static_cast<int>(std::lround(height / set * scale)))};
}

// A larger set's QOI bytes fitted to the scale, decoded only as far as the
// resampling has come: the whole picture at that size is never held.
std::optional<Picture> fitQoiToScale(std::span<const std::uint8_t> bytes, int set, double scale) {
  auto rows = QoiRows::open(bytes);
  if (!rows) return std::nullopt;
  const auto size = fittedSize(rows->width(), rows->height(), set, scale);
  if (!size) return std::nullopt;
  if (size->first == rows->width() && size->second == rows->height()) {
    auto whole = decodeQoi(bytes);
    return whole ? fitToScale(std::move(*whole), set, scale) : whole;
  }
  // A new row starts at the last old row of the one before, or below it:
  // one old row at hand is enough.
  std::vector<Rgb> line(static_cast<std::size_t>(rows->width()));
  int decoded = -1;
  auto rowAt = [&](int y) -> const Rgb* {
    for (; decoded < y; ++decoded)
      if (!rows->next(line.data())) return nullptr;
    return line.data();
  };
  Picture p = resampleRows(rows->width(), rows->height(), rowAt, size->first, size->second);
  if (p.pixels.empty()) return std::nullopt;
  p.designWidth = rows->width() / set;
  p.designHeight = rows->height() / set;
  return p;
}

}  // namespace

Picture resample(const Picture& p, int width, int height) {
  const std::size_t rowPixels = static_cast<std::size_t>(std::max(p.width, 0));
  return resampleRows(
      p.width, p.height,
      [&](int y) { return p.pixels.data() + static_cast<std::size_t>(y) * rowPixels; }, width,
      height);
}

std::optional<Picture> fitToScale(Picture p, int set, double scale) {
  const auto size = fittedSize(p.width, p.height, set, scale);
  if (!size) return std::nullopt;
  const int designWidth = p.width / set, designHeight = p.height / set;
  if (size->first != p.width || size->second != p.height)
    p = resample(p, size->first, size->second);
  p.designWidth = designWidth;
  p.designHeight = designHeight;
  return p;
}

std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes) {
  if (auto qoi = decodeQoi(bytes)) return qoi;
  return decodeBmp(bytes);
}

std::optional<Picture> decodeForScale(std::span<const std::uint8_t> design,
                                      std::span<const std::uint8_t> larger, int set, double scale) {
  if (set == 1 && scale == 1.0) return decodePicture(design);
  // The design's own file must be a whole picture on every screen, so that
  // a damaged bitmap is reported the same whatever set is shown.
  auto small = checkQoi(design);
  if (!small) small = checkBmp(design);
  if (!small) return small;
  small->later = std::make_shared<LaterFit>();
  small->later->design = design;
  small->later->larger = larger;
  small->later->set = set;
  small->later->scale = scale;
  return small;
}

std::optional<Picture> decodeForScale(std::vector<std::uint8_t> design,
                                      std::vector<std::uint8_t> larger, int set, double scale) {
  auto small = decodeForScale(std::span<const std::uint8_t>(design), larger, set, scale);
  if (small && small->later) {
    small->later->files[0] = std::move(design);
    small->later->files[1] = std::move(larger);
  }
  return small;
}

std::optional<Picture> decodeForScale(FileStart design, const std::string& path,
                                      std::vector<std::uint8_t> larger, int set, double scale) {
  auto small = checkBmp(design.bytes, design.size);
  if (!small || set < 2 || larger.empty()) return std::nullopt;
  small->later = std::make_shared<LaterFit>();
  LaterFit& f = *small->later;
  f.design = design.bytes;
  f.larger = larger;
  f.set = set;
  f.scale = scale;
  f.files[0] = std::move(design.bytes);
  f.files[1] = std::move(larger);
  f.designFile = path;
  f.designSize = design.size;
  return small;
}

LaterFit::~LaterFit() {
  for (auto& file : files) giveBack(std::move(file));
}

void forgetFitted() {
  remembered().clear();
}

const Picture& onScreen(const Picture& p) {
  if (!p.later) return p;
  LaterFit& f = *p.later;
  std::call_once(f.done, [&] {
    // Of a bitmap read in part, the start and length: the larger set's
    // pixels are all that can differ in what is shown from it.
    const Remembered::Key key{hashBytes(f.design),
                              hashBytes(f.larger),
                              f.designFile.empty() ? f.design.size() : f.designSize,
                              f.larger.size(),
                              f.set,
                              f.scale};
    f.fitted = remembered().find(key);
    if (!f.fitted) {
      std::optional<Picture> fitted;
      if (f.set > 1 && !f.larger.empty()) fitted = fitQoiToScale(f.larger, f.set, f.scale);
      // Drawn from the bitmap, read whole now if only its start was: fitted
      // from bytes the key does not cover, it is not remembered.
      const bool fromKeyedBytes = fitted || f.designFile.empty();
      std::optional<std::vector<std::uint8_t>> whole;
      if (!fitted && !f.designFile.empty())
        whole = readRegularFile(f.designFile, kMaxPictureFileBytes);
      if (!fitted && (whole || f.designFile.empty()))
        if (auto design = decodePicture(whole ? std::span<const std::uint8_t>(*whole) : f.design))
          fitted = fitToScale(std::move(*design), 1, f.scale);
      if (fitted) {
        f.fitted = std::make_shared<const Picture>(std::move(*fitted));
        if (fromKeyedBytes) remembered().keep(key, f.fitted);
      }
    }
    f.design = f.larger = {};
    // Kept for the next frame's read ("= {}" would keep the memory here).
    for (auto& file : f.files) giveBack(std::move(file));
    if (f.read) f.read();
  });
  return f.fitted ? *f.fitted : p;
}

}  // namespace media
