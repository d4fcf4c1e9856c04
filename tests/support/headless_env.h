#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/toolkit/services.h"
#include "app/toolkit/window_system.h"
#include "media/bitmap.h"
#include "media/picture.h"
#include "media/silent_audio.h"
#include "tests/support/bytes.h"
#include "tests/support/headless_backend.h"

namespace testing_support {

// Files a test makes for itself.
// A bitmap of one colour, 24 or 8 bits a pixel (the colour then the palette's second).
void writeBmp(const std::string& path, int width, int height, base::Rgb colour, int bits = 24);
void writeWav(const std::string& path, int durationMs, int sampleRate = 8000);

// A sound channel's note as a person would write it: "FileName=ribbit.wav",
// "Wait=on", "Open (wait)". File names are shown without the folder, which
// differs from run to run.
std::string soundLine(const media::SoundNote& note);

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

// The opening is over and the first letter waits for its key: the talking
// frog's sixteen 150 ms ticks, the 2 s rest, then both parts of the directions.
constexpr std::int64_t kOpeningEnd =
    16 * 150 + 2000 + GameFolder::kDirectionsMs + GameFolder::kDirections2Ms;

// Records each picture file read, by name.
class TracingPictureLoader : public media::PictureLoader {
 public:
  explicit TracingPictureLoader(HeadlessBackend& b)
      : PictureLoader(b.screen().scale), backend_(b) {}
  media::PictureRef load(const std::string& path) override;
  // Called with the file name before each read, to look at the screen then.
  std::function<void(const std::string&)> onRead;

 private:
  HeadlessBackend& backend_;
};

using What = Entry::What;

// Picks entries of the record: of one kind, and of one subject if given.
struct Pick {
  What what;
  std::string subject = {};
  bool matches(const Entry& e) const {
    return e.what == what && (subject.empty() || e.subject == subject);
  }
};

// A whole headless platform: virtual clock, silent sound that keeps time,
// and one record of windows, ticks, pictures and sound commands.
struct HeadlessEnv {
  explicit HeadlessEnv(const std::string& programDir, toolkit::Size screen = {1024, 768},
                       double scale = 1);

  HeadlessBackend backend;
  toolkit::WindowSystem windows{backend};
  media::SilentAudio audio{windows};
  TracingPictureLoader pictures{backend};
  toolkit::Services services;
  // Called with each sound channel line as it is written, to look at the screen then.
  std::function<void(const std::string&)> onSound;

  // The subjects of the record's entries of one kind, in order.
  std::vector<std::string> subjects(What what) const;
  // How many entries match.
  std::size_t count(const Pick& pick) const;
  // The entries that match any pick, from time `from` on, written as text.
  std::vector<std::string> only(std::initializer_list<Pick> picks, std::int64_t from = 0) const;
  // When the occurrence-th matching entry was recorded; -1 if never.
  std::int64_t timeOf(const Pick& pick, int occurrence = 1) const;
};

// Types keys into the game window at atMs, then runs until that turn is over.
template <class Game>
void typeAndFinish(HeadlessEnv& env, Game& game, std::int64_t atMs, const std::string& keys) {
  env.backend.type(atMs, game, keys);
  env.windows.runUntil(atMs + 1);
  for (int guard = 0; guard < 1000 && (game.Eating || game.Timer1.enabled()); ++guard)
    env.windows.runUntil(env.windows.nowMs() + 50);
}

// Eats the letter shown, 10 ms from now.
template <class Game>
void eatShownLetter(HeadlessEnv& env, Game& game) {
  typeAndFinish(env, game, env.windows.nowMs() + 10, game.Label1.caption());
}

}  // namespace testing_support
