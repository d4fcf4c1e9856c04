#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/headless_backend.h"
#include "app/services.h"
#include "app/window_system.h"
#include "media/bitmap.h"
#include "media/picture.h"
#include "media/silent_audio.h"

namespace testing_support {

// Files a test makes for itself.
void writeBmp24(const std::string& path, int width, int height, media::Rgb colour);
void writeBmp8(const std::string& path, int width, int height, media::Rgb colour);
void writeWav(const std::string& path, int durationMs, int sampleRate = 8000);

// Every picture and sound the game reads, made small, in a fresh folder;
// sound lengths are chosen so timings can be checked exactly.
class GameFolder {
 public:
  GameFolder();
  ~GameFolder();
  const std::string& path() const { return dir_; }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }
  void remove(const std::string& name) const { std::filesystem::remove(file(name)); }

  static constexpr int kRibbitMs = 1500;
  static constexpr int kDirectionsMs = 3000;
  static constexpr int kDirections2Ms = 2500;
  static constexpr int kLetterMs = 600;
  static constexpr int kSlurpMs = 350;
  static constexpr int kRibbit2Ms = 1200;
  static constexpr int kApplauseMs = 2500;
  static constexpr int kPraiseMs = 900;

 private:
  std::string dir_;
};

// Records each picture file read, by name.
class TracingPictureLoader : public media::PictureLoader {
 public:
  explicit TracingPictureLoader(ui::Backend& b) : backend_(b) {}
  media::PictureRef load(const std::string& path) override;
  // Called with the file name before each read, to look at the screen then.
  std::function<void(const std::string&)> onRead;

 private:
  ui::Backend& backend_;
};

// A whole headless platform: virtual clock, silent sound that keeps time,
// and one record of windows, ticks, pictures and sound commands.
struct HeadlessEnv {
  explicit HeadlessEnv(const std::string& programDir, ui::Size screen = {1024, 768});

  ui::HeadlessBackend backend;
  ui::WindowSystem windows{backend};
  media::SilentAudio audio{windows};
  TracingPictureLoader pictures{backend};
  app::Services services;
  // Called with each sound channel line as it is written, to look at the screen then.
  std::function<void(const std::string&)> onSound;

  // Record lines that begin with prefix, without it.
  std::vector<std::string> after(const std::string& prefix) const;
  // Record lines of the given kinds (prefixes), in order.
  std::vector<std::string> only(std::initializer_list<std::string> prefixes) const;
  // The first time a record line equal to text was written; -1 if never.
  std::int64_t timeOf(const std::string& text, int occurrence = 1) const;
};

}  // namespace testing_support
