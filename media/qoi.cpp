#include "media/qoi.h"

#include <array>

namespace media {
namespace {

constexpr std::size_t kHeader = 14;
constexpr std::array<std::uint8_t, 8> kEnd{0, 0, 0, 0, 0, 0, 0, 1};
constexpr std::uint8_t kOpIndex = 0x00, kOpDiff = 0x40, kOpLuma = 0x80, kOpRun = 0xc0,
                       kOpRgb = 0xfe, kOpRgba = 0xff, kMask = 0xc0;
// One byte of data gives at most this many pixels (a run).
constexpr std::int64_t kMostPixelsPerByte = 62;

using Rgba = QoiRows::Rgba;

std::size_t slot(const Rgba& c) {
  return (c.r * 3u + c.g * 5u + c.b * 7u + c.a * 11u) % 64u;
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::uint8_t wrap(int v) {
  return static_cast<std::uint8_t>(v & 0xff);
}

}  // namespace

std::optional<Picture> checkQoi(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeader || bytes[0] != 'q' || bytes[1] != 'o' || bytes[2] != 'i' ||
      bytes[3] != 'f')
    return std::nullopt;
  const std::uint32_t w = bigEndian32(bytes, 4), h = bigEndian32(bytes, 8);
  if (w == 0 || h == 0 || w > kQoiMaxSide || h > kQoiMaxSide) return std::nullopt;
  const std::int64_t count = std::int64_t{w} * h;
  // The data must be long enough to describe every pixel, so a short file
  // claiming a large picture is refused before anything is allocated.
  const auto data = static_cast<std::int64_t>(bytes.size() - kHeader);
  if (count > kQoiMaxPixels || data * kMostPixelsPerByte < count) return std::nullopt;
  Picture pic;
  pic.width = static_cast<int>(w);
  pic.height = static_cast<int>(h);
  return pic;
}

std::optional<QoiRows> QoiRows::open(std::span<const std::uint8_t> bytes) {
  const auto checked = checkQoi(bytes);
  if (!checked) return std::nullopt;
  QoiRows rows;
  rows.bytes_ = bytes;
  rows.width_ = checked->width;
  rows.height_ = checked->height;
  for (Rgba& c : rows.seen_) c.a = 0;
  rows.at_ = kHeader;
  return rows;
}

bool QoiRows::next(Rgb* row) {
  // The state in locals while the row is decoded, where the compiler keeps it.
  const std::span<const std::uint8_t> bytes = bytes_;
  auto& seen = seen_;
  Rgba px = px_;
  std::size_t at = at_;
  const std::size_t end = bytes.size();
  int run = run_;
  for (Rgb& out : std::span<Rgb>(row, static_cast<std::size_t>(width_))) {
    if (run > 0) {
      --run;
    } else {
      if (at >= end) return false;
      const std::uint8_t op = bytes[at++];
      if (op == kOpRgb || op == kOpRgba) {
        const std::size_t n = op == kOpRgb ? 3 : 4;
        if (end - at < n) return false;
        px.r = bytes[at], px.g = bytes[at + 1], px.b = bytes[at + 2];
        if (n == 4) px.a = bytes[at + 3];
        at += n;
      } else if ((op & kMask) == kOpIndex) {
        px = seen[op];
      } else if ((op & kMask) == kOpDiff) {
        px.r = wrap(px.r + ((op >> 4) & 3) - 2);
        px.g = wrap(px.g + ((op >> 2) & 3) - 2);
        px.b = wrap(px.b + (op & 3) - 2);
      } else if ((op & kMask) == kOpLuma) {
        if (at >= end) return false;
        const int dg = (op & 0x3f) - 32;
        const std::uint8_t next = bytes[at++];
        px.r = wrap(px.r + dg + ((next >> 4) & 0x0f) - 8);
        px.g = wrap(px.g + dg);
        px.b = wrap(px.b + dg + (next & 0x0f) - 8);
      } else {
        run = op & 0x3f;
      }
      seen[slot(px)] = px;
    }
    out = Rgb{px.r, px.g, px.b};
  }
  px_ = px;
  at_ = at;
  run_ = run;
  return true;
}

std::optional<Picture> decodeQoi(std::span<const std::uint8_t> bytes) {
  auto rows = QoiRows::open(bytes);
  if (!rows) return std::nullopt;
  Picture pic;
  pic.width = rows->width();
  pic.height = rows->height();
  pic.pixels.resize(static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height));
  for (int y = 0; y < pic.height; ++y)
    if (!rows->next(&pic.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(pic.width)]))
      return std::nullopt;
  return pic;
}

std::vector<std::uint8_t> encodeQoi(const Picture& picture) {
  std::vector<std::uint8_t> out{'q', 'o', 'i', 'f'};
  for (const int side : {picture.width, picture.height})
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(side) >> shift) & 0xff));
  out.push_back(3);  // channels
  out.push_back(0);  // sRGB
  std::array<Rgba, 64> seen{};
  for (Rgba& c : seen) c.a = 0;
  Rgba prev;
  int run = 0;
  auto flushRun = [&] {
    if (run > 0) out.push_back(static_cast<std::uint8_t>(kOpRun | (run - 1)));
    run = 0;
  };
  for (const Rgb& p : picture.pixels) {
    const Rgba px{p.r, p.g, p.b, 255};
    if (px == prev) {
      if (++run == 62) flushRun();
      continue;
    }
    flushRun();
    const std::size_t s = slot(px);
    if (seen[s] == px) {
      out.push_back(static_cast<std::uint8_t>(kOpIndex | s));
    } else {
      seen[s] = px;
      const int dr = static_cast<std::int8_t>(wrap(px.r - prev.r));
      const int dg = static_cast<std::int8_t>(wrap(px.g - prev.g));
      const int db = static_cast<std::int8_t>(wrap(px.b - prev.b));
      const int drg = dr - dg, dbg = db - dg;
      if (dr >= -2 && dr <= 1 && dg >= -2 && dg <= 1 && db >= -2 && db <= 1) {
        out.push_back(
            static_cast<std::uint8_t>(kOpDiff | (dr + 2) << 4 | (dg + 2) << 2 | (db + 2)));
      } else if (dg >= -32 && dg <= 31 && drg >= -8 && drg <= 7 && dbg >= -8 && dbg <= 7) {
        out.push_back(static_cast<std::uint8_t>(kOpLuma | (dg + 32)));
        out.push_back(static_cast<std::uint8_t>((drg + 8) << 4 | (dbg + 8)));
      } else {
        out.insert(out.end(), {kOpRgb, px.r, px.g, px.b});
      }
    }
    prev = px;
  }
  flushRun();
  out.insert(out.end(), kEnd.begin(), kEnd.end());
  return out;
}

}  // namespace media
