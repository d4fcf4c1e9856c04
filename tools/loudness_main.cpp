// Prints the loudness and true peak of each 16-bit mono wave named:
//   loudness FILE...   ->   "LUFS dBTP FILE" a line
#include <cstdio>

#include "tools/loudness.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<double> samples;
    int rate = 0;
    if (!loudness::readMonoWave(argv[i], samples, rate)) {
      std::fprintf(stderr, "loudness: %s is not a 16-bit mono wave\n", argv[i]);
      status = 1;
      continue;
    }
    std::printf("%.2f %.2f %s\n", loudness::integratedLufs(samples, rate),
                loudness::truePeakDb(samples), argv[i]);
  }
  return status;
}
