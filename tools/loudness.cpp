#include "tools/loudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "media/wav.h"

namespace loudness {
namespace {

struct Biquad {
  double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
  double operator()(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// The two stages of the K weighting, worked out for any rate: a shelf that
// lifts the highs by 4 dB as the head does, and a high-pass near 38 Hz.
std::vector<double> kWeighted(std::span<const double> in, int rate) {
  double k = std::tan(std::numbers::pi * 1681.974450955533 / rate);
  double q = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1 + k / q + k * k;
  Biquad shelf{(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0,
               (vh - vb * k / q + k * k) / a0, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
  k = std::tan(std::numbers::pi * 38.13547087602444 / rate);
  q = 0.5003270373238773;
  a0 = 1 + k / q + k * k;
  Biquad highPass{1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
  std::vector<double> out(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) out[i] = highPass(shelf(in[i]));
  return out;
}

double lufs(double meanSquare) {
  return -0.691 + 10 * std::log10(std::max(meanSquare, 1e-20));
}

}  // namespace

double integratedLufs(std::span<const double> samples, int rate) {
  const auto weighted = kWeighted(samples, rate);
  std::vector<double> squares(weighted.size() + 1, 0);  // running sum of squares
  for (std::size_t i = 0; i < weighted.size(); ++i)
    squares[i + 1] = squares[i] + weighted[i] * weighted[i];
  // 400 ms blocks, each starting 100 ms after the last.
  const std::size_t length = std::min<std::size_t>(weighted.size(), std::size_t(rate) * 4 / 10);
  const std::size_t step = std::max<std::size_t>(1, std::size_t(rate) / 10);
  std::vector<double> blocks;
  for (std::size_t at = 0; length > 0 && at + length <= weighted.size(); at += step)
    blocks.push_back((squares[at + length] - squares[at]) / double(length));
  // Blocks below -70 LUFS do not count, nor those 10 LU below the rest.
  auto gatedMean = [&](double gate) {
    double sum = 0;
    int n = 0;
    for (double b : blocks)
      if (lufs(b) > gate) sum += b, ++n;
    return n ? sum / n : 0.0;
  };
  const double ungated = gatedMean(-70);
  return ungated > 0 ? lufs(gatedMean(std::max(-70.0, lufs(ungated) - 10))) : -70;
}

double truePeakDb(std::span<const double> samples) {
  // Three points between each pair of samples, by a Hann-windowed sinc over
  // 16 samples on each side.
  constexpr int kSide = 16, kPhases = 3;
  double taps[kPhases][2 * kSide];
  for (int p = 0; p < kPhases; ++p)
    for (int k = 0; k < 2 * kSide; ++k) {
      const double x = (p + 1) / 4.0 + kSide - 1 - k;  // from the point to sample i - kSide + 1 + k
      taps[p][k] = (0.5 + 0.5 * std::cos(std::numbers::pi * x / kSide)) *
                   std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    }
  double peak = 0;
  const auto n = static_cast<std::ptrdiff_t>(samples.size());
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    peak = std::max(peak, std::abs(samples[std::size_t(i)]));
    for (const auto& phase : taps) {
      double sum = 0;
      for (std::ptrdiff_t k = 0; k < 2 * kSide; ++k) {
        const std::ptrdiff_t j = i - kSide + 1 + k;
        if (j >= 0 && j < n) sum += samples[std::size_t(j)] * phase[k];
      }
      peak = std::max(peak, std::abs(sum));
    }
  }
  return 20 * std::log10(std::max(peak, 1e-10));
}

bool readMonoWave(const std::string& path, std::vector<double>& samples, int& rate) {
  const auto wave = media::loadWaveFile(path);
  if (!wave || wave->info.channels != 1 || wave->info.bitsPerSample != 16) return false;
  rate = wave->info.sampleRate;
  samples.clear();
  const auto& b = wave->bytes;
  for (std::size_t at = wave->info.dataOffset;
       at + 1 < wave->info.dataOffset + wave->info.dataBytes; at += 2)
    samples.push_back(static_cast<std::int16_t>(b[at] | (b[at + 1] << 8)) / 32768.0);
  return true;
}

}  // namespace loudness
