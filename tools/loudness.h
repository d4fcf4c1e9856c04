#pragma once

#include <span>
#include <string>
#include <vector>

// How loud a mono sound is heard to be, as broadcasters measure it: the
// K-weighted, gated mean of 400 ms blocks (LUFS), and the peak between the
// samples too, found by upsampling four times (dBTP). Samples at full scale 1.
namespace loudness {

// A sound shorter than one block is measured as one block of its own length.
double integratedLufs(std::span<const double> samples, int rate);
double truePeakDb(std::span<const double> samples);

// A 16-bit PCM mono wave's samples and rate; false if the file is not one.
bool readMonoWave(const std::string& path, std::vector<double>& samples, int& rate);

}  // namespace loudness
