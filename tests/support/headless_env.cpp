#include "tests/support/headless_env.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace testing_support {
namespace {

void put16(std::ofstream& o, std::uint32_t v) {
  o.put(char(v & 255)).put(char((v >> 8) & 255));
}
void put32(std::ofstream& o, std::uint32_t v) {
  put16(o, v & 0xffff);
  put16(o, v >> 16);
}

void writeBmp(const std::string& path, int w, int h, media::Rgb c, int bits) {
  std::ofstream o(path, std::ios::binary);
  const std::uint32_t stride = ((w * bits + 31) / 32) * 4;
  const std::uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
  const std::uint32_t offset = 54 + paletteBytes;
  o << "BM";
  put32(o, offset + stride * h);
  put32(o, 0);
  put32(o, offset);
  put32(o, 40);
  put32(o, w);
  put32(o, h);
  put16(o, 1);
  put16(o, bits);
  put32(o, 0);
  put32(o, stride * h);
  put32(o, 2835);
  put32(o, 2835);
  put32(o, bits == 8 ? 256 : 0);
  put32(o, 0);
  if (bits == 8) {
    for (int i = 0; i < 256; ++i) {
      const media::Rgb p = i == 1 ? c : media::Rgb{};
      o.put(char(p.b)).put(char(p.g)).put(char(p.r)).put(0);
    }
  }
  for (int y = 0; y < h; ++y) {
    std::uint32_t written = 0;
    for (int x = 0; x < w; ++x) {
      if (bits == 8) {
        o.put(1), written += 1;
      } else {
        o.put(char(c.b)).put(char(c.g)).put(char(c.r)), written += 3;
      }
    }
    for (; written < stride; ++written) o.put(0);
  }
}

}  // namespace

void writeBmp24(const std::string& path, int width, int height, media::Rgb colour) {
  writeBmp(path, width, height, colour, 24);
}

void writeBmp8(const std::string& path, int width, int height, media::Rgb colour) {
  writeBmp(path, width, height, colour, 8);
}

void writeWav(const std::string& path, int durationMs, int sampleRate) {
  std::ofstream o(path, std::ios::binary);
  const std::uint32_t samples = static_cast<std::uint32_t>(sampleRate) * durationMs / 1000;
  const std::uint32_t bytes = samples * 2;
  o << "RIFF";
  put32(o, 36 + bytes);
  o << "WAVEfmt ";
  put32(o, 16);
  put16(o, 1);
  put16(o, 1);
  put32(o, sampleRate);
  put32(o, sampleRate * 2);
  put16(o, 2);
  put16(o, 16);
  o << "data";
  put32(o, bytes);
  for (std::uint32_t i = 0; i < samples; ++i) put16(o, (i / 8) % 2 ? 0x2000 : 0xe000);
}

GameFolder::GameFolder() {
  char pattern[] = "/tmp/yumble-test-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  for (int i = 1; i <= 7; ++i)
    writeBmp24(file("f" + std::to_string(i) + ".bmp"), 40, 25, {0, 0, 0});
  for (int i = 0; i <= 2; ++i)
    writeBmp8(file("talk" + std::to_string(i) + ".bmp"), 25, 33, {0, 200, 0});
  for (char c = 'A'; c <= 'Z'; ++c) writeWav(file(std::string(1, c) + ".wav"), kLetterMs);
  writeWav(file("ribbit.wav"), kRibbitMs);
  writeWav(file("ribbit2.wav"), kRibbit2Ms);
  writeWav(file("slurp2.wav"), kSlurpMs);
  writeWav(file("yumdir.wav"), kDirectionsMs);
  writeWav(file("yumdir2.wav"), kDirections2Ms);
  writeWav(file("applp.wav"), kApplauseMs);
  writeWav(file("goodjob.wav"), kPraiseMs);
}

GameFolder::~GameFolder() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

media::PictureRef TracingPictureLoader::load(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (onRead) onRead(name);
  backend_.trace("read " + name);
  return media::loadPictureFile(path);
}

HeadlessEnv::HeadlessEnv(const std::string& programDir, ui::Size screen)
    : backend(screen), services{windows, audio, pictures, programDir} {
  services.soundObserver = [this](const std::string& what) {
    // File names are shown without the folder, which differs from run to run.
    const auto slash = what.rfind('/');
    const std::string line = what.rfind("FileName=", 0) == 0 && slash != std::string::npos
                                 ? "FileName=" + what.substr(slash + 1)
                                 : what;
    if (onSound) onSound(line);
    backend.trace("sound " + line);
  };
}

std::vector<std::string> HeadlessEnv::after(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& t : backend.texts(prefix)) out.push_back(t.substr(prefix.size()));
  return out;
}

std::vector<std::string> HeadlessEnv::only(std::initializer_list<std::string> prefixes) const {
  std::vector<std::string> out;
  for (const auto& l : backend.lines())
    for (const auto& p : prefixes)
      if (l.text.rfind(p, 0) == 0) {
        out.push_back(l.text);
        break;
      }
  return out;
}

std::int64_t HeadlessEnv::timeOf(const std::string& text, int occurrence) const {
  for (const auto& l : backend.lines())
    if (l.text == text && --occurrence == 0) return l.t;
  return -1;
}

}  // namespace testing_support
