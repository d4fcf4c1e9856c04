#include "media/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "media/bitmap.h"
#include "media/qoi.h"

namespace media {
namespace {

// How much each old pixel counts towards one new pixel along one side.
struct Span {
  int first = 0;
  std::vector<double> weights;  // sum to 1
};

std::vector<Span> spans(int from, int to) {
  std::vector<Span> out(static_cast<std::size_t>(to));
  const double step = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    const double lo = i * step, hi = (i + 1) * step;
    Span& s = out[static_cast<std::size_t>(i)];
    s.first = static_cast<int>(lo);
    const int last = std::min(from - 1, static_cast<int>(std::ceil(hi)) - 1);
    for (int j = s.first; j <= last; ++j)
      s.weights.push_back((std::min(hi, j + 1.0) - std::max(lo, static_cast<double>(j))) / step);
  }
  return out;
}

struct Sum {
  double r = 0, g = 0, b = 0;
  void add(Rgb c, double w) { r += c.r * w, g += c.g * w, b += c.b * w; }
  void add(const Sum& c, double w) { r += c.r * w, g += c.g * w, b += c.b * w; }
  static std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  Rgb rgb() const { return {channel(r), channel(g), channel(b)}; }
};

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

Picture resample(const Picture& p, int width, int height) {
  Picture out;
  out.width = width;
  out.height = height;
  if (width <= 0 || height <= 0 || p.width <= 0 || p.height <= 0) return out;
  const auto across = spans(p.width, width), down = spans(p.height, height);
  // Rows first, into one row of sums per old row, then down the columns.
  std::vector<Sum> rows(static_cast<std::size_t>(width) * static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < width; ++x) {
      const Span& s = across[static_cast<std::size_t>(x)];
      Sum& sum = rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
      for (std::size_t k = 0; k < s.weights.size(); ++k)
        sum.add(p.at(s.first + static_cast<int>(k), y), s.weights[k]);
    }
  out.pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const Span& s = down[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      Sum sum;
      for (std::size_t k = 0; k < s.weights.size(); ++k)
        sum.add(rows[static_cast<std::size_t>(s.first + static_cast<int>(k)) *
                         static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)],
                s.weights[k]);
      out.pixels.push_back(sum.rgb());
    }
  }
  return out;
}

std::optional<Picture> fitToScale(Picture p, int set, double scale) {
  if (set < 1 || p.width % set != 0 || p.height % set != 0) return std::nullopt;
  const int designWidth = p.width / set, designHeight = p.height / set;
  const int width = std::max(1, static_cast<int>(std::lround(designWidth * scale)));
  const int height = std::max(1, static_cast<int>(std::lround(designHeight * scale)));
  if (width != p.width || height != p.height) p = resample(p, width, height);
  p.designWidth = designWidth;
  p.designHeight = designHeight;
  return p;
}

std::optional<Picture> decodeForScale(std::span<const std::uint8_t> bmp,
                                      std::span<const std::uint8_t> larger, int set, double scale) {
  if (set > 1 && !larger.empty())
    if (auto big = decodeQoi(larger))
      if (auto fitted = fitToScale(std::move(*big), set, scale)) return fitted;
  auto small = decodeBmp(bmp);
  if (!small) return std::nullopt;
  return fitToScale(std::move(*small), 1, scale);
}

}  // namespace media
