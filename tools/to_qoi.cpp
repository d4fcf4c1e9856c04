// Turns a bitmap into the compact lossless form the game reads for its larger drawings:
//   to_qoi IN.bmp OUT.qoi
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "media/bitmap.h"
#include "media/qoi.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: to_qoi IN.bmp OUT.qoi\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  const auto picture = media::decodeBmp(bytes);
  if (!picture) {
    std::cerr << "to_qoi: " << argv[1] << " is not a bitmap this program reads\n";
    return 1;
  }
  const std::vector<std::uint8_t> qoi = media::encodeQoi(*picture);
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(qoi.data()), static_cast<std::streamsize>(qoi.size()));
  return out ? 0 : 1;
}
