#include "tests/support/headless_env.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

// Rows of one colour, padded to four bytes.
void writeBmp(const std::string& path, int w, int h, media::Rgb c, int bits) {
  const auto stride = static_cast<std::size_t>((w * bits + 31) / 32 * 4);
  Bytes data;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (bits == 8)
        data.push_back(1);
      else
        data.insert(data.end(), {c.b, c.g, c.r});
    }
    data.resize(stride * static_cast<std::size_t>(y + 1), 0);
  }
  std::vector<media::Rgb> palette(bits == 8 ? 256 : 0);
  if (bits == 8) palette[1] = c;
  writeFile(path, bmpBytes(w, h, bits, palette, data));
}

void writeWav(const std::string& path, int durationMs, int sampleRate) {
  const auto samples = static_cast<std::uint32_t>(std::int64_t{sampleRate} * durationMs / 1000);
  Bytes b = waveBytes({.rate = sampleRate, .dataBytes = samples * 2});
  // A square wave, so a device that plays it has something to play.
  const std::size_t data = b.size() - samples * 2;
  for (std::uint32_t i = 0; i < samples; ++i) {
    const std::uint16_t v = (i / 8) % 2 ? 0x2000 : 0xe000;
    b[data + 2 * i] = static_cast<std::uint8_t>(v & 255);
    b[data + 2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  writeFile(path, b);
}

GameFolder::GameFolder() {
  char pattern[] = "/tmp/yumble-test-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  for (int i = 1; i <= 7; ++i) writeBmp(file("f" + std::to_string(i) + ".bmp"), 40, 25, {0, 0, 0});
  for (int i = 0; i <= 2; ++i)
    writeBmp(file("talk" + std::to_string(i) + ".bmp"), 25, 33, {0, 200, 0}, 8);
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
  backend_.note(What::Read, name);
  return media::loadPictureFile(path, scale());
}

std::string soundLine(const media::SoundNote& n) {
  using K = media::SoundNote::Kind;
  const std::string text(n.text);
  const std::string onOff = n.on ? "on" : "off";
  switch (n.kind) {
    case K::DeviceType:
      return "DeviceType=" + text;
    case K::FileName:
      return "FileName=" + std::filesystem::path(text).filename().string();
    case K::Notify:
      return "Notify=" + onOff;
    case K::Wait:
      return "Wait=" + onOff;
    case K::Shareable:
      return "Shareable=" + onOff;
    case K::Command:
      return text + (n.on ? " (wait)" : "");
  }
  return text;
}

HeadlessEnv::HeadlessEnv(const std::string& programDir, toolkit::Size screen, double scale)
    : backend(screen, scale), services{windows, audio, pictures, programDir} {
  services.soundObserver = [this](const media::SoundNote& note) {
    const std::string line = soundLine(note);
    if (onSound) onSound(line);
    backend.note(What::Sound, line);
  };
}

std::vector<std::string> HeadlessEnv::subjects(What what) const {
  std::vector<std::string> out;
  for (const auto& e : backend.record())
    if (e.what == what) out.push_back(e.subject);
  return out;
}

std::size_t HeadlessEnv::count(const Pick& pick) const {
  std::size_t n = 0;
  for (const auto& e : backend.record()) n += pick.matches(e) ? 1 : 0;
  return n;
}

std::vector<std::string> HeadlessEnv::only(std::initializer_list<Pick> picks,
                                           std::int64_t from) const {
  std::vector<std::string> out;
  for (const auto& e : backend.record())
    if (e.t >= from &&
        std::any_of(picks.begin(), picks.end(), [&](const Pick& p) { return p.matches(e); }))
      out.push_back(e.text());
  return out;
}

std::int64_t HeadlessEnv::timeOf(const Pick& pick, int occurrence) const {
  for (const auto& e : backend.record())
    if (pick.matches(e) && --occurrence == 0) return e.t;
  return -1;
}

}  // namespace testing_support
