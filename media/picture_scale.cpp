#include "media/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "media/bitmap.h"
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

std::uint8_t channel(float v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
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

Picture resample(const Picture& p, int width, int height) {
  Picture out;
  out.width = width;
  out.height = height;
  if (width <= 0 || height <= 0 || p.width <= 0 || p.height <= 0) return out;
  const Taps across = taps(p.width, width), down = taps(p.height, height);
  const auto w = static_cast<std::size_t>(width);
  // Along the rows first, three channels a pixel, then down the columns.
  std::vector<float> rows(w * 3 * static_cast<std::size_t>(p.height));
  for (int y = 0; y < p.height; ++y) {
    const Rgb* in = &p.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width)];
    float* row = &rows[static_cast<std::size_t>(y) * w * 3];
    for (std::size_t x = 0; x < w; ++x) {
      const float* weight = &across.weights[static_cast<std::size_t>(across.at[x])];
      const Rgb* from = in + across.first[x];
      float r = 0, g = 0, b = 0;
      for (int k = 0; k < across.count[x]; ++k) {
        r += from[k].r * weight[k], g += from[k].g * weight[k], b += from[k].b * weight[k];
      }
      row[3 * x] = r, row[3 * x + 1] = g, row[3 * x + 2] = b;
    }
  }
  out.pixels.resize(w * static_cast<std::size_t>(height));
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const float* weight = &down.weights[static_cast<std::size_t>(down.at[y])];
    const float* from = &rows[static_cast<std::size_t>(down.first[y]) * w * 3];
    Rgb* to = &out.pixels[y * w];
    for (std::size_t x = 0; x < w; ++x) {
      float r = 0, g = 0, b = 0;
      for (std::size_t k = 0; k < static_cast<std::size_t>(down.count[y]); ++k) {
        const float* c = from + k * w * 3 + 3 * x;
        r += c[0] * weight[k], g += c[1] * weight[k], b += c[2] * weight[k];
      }
      to[x] = {channel(r), channel(g), channel(b)};
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

std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes) {
  if (auto qoi = decodeQoi(bytes)) return qoi;
  return decodeBmp(bytes);
}

std::optional<Picture> decodeForScale(std::span<const std::uint8_t> design,
                                      std::span<const std::uint8_t> larger, int set, double scale) {
  // The design's own file must be a picture on every screen, so that a
  // damaged one is reported the same whatever set is shown.
  auto small = decodePicture(design);
  if (!small || (set == 1 && scale == 1.0)) return small;
  small->later = std::make_shared<LaterFit>();
  small->later->larger.assign(larger.begin(), larger.end());
  small->later->set = set;
  small->later->scale = scale;
  return small;
}

const Picture& onScreen(const Picture& p) {
  if (!p.later) return p;
  LaterFit& f = *p.later;
  std::call_once(f.done, [&] {
    if (f.set > 1 && !f.larger.empty())
      if (auto big = decodeQoi(f.larger)) f.fitted = fitToScale(std::move(*big), f.set, f.scale);
    if (!f.fitted) {
      Picture design = p;
      design.later.reset();
      f.fitted = fitToScale(std::move(design), 1, f.scale);
    }
    f.larger = {};
  });
  return f.fitted ? *f.fitted : p;
}

}  // namespace media
