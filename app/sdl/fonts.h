#pragma once

#include <fontconfig/fontconfig.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace sdl {

struct FontFile {
  std::string path;
  int index = 0;  // face within the file
  std::string family;
  friend bool operator==(const FontFile&, const FontFile&) = default;
};

// Finds the font file for a design's font name and weight through fontconfig,
// with the program's own rules mapping the names the designs use to free
// look-alikes. Reading the rules and the lists of fonts takes a few
// milliseconds, more when the disk is cold, so it runs on a thread of its own
// while the program starts, which also finds the designs' fonts then; the
// first question waits for it. fontconfig itself is loaded only while fonts
// are looked for and let go after (see Fontconfig in fonts.cpp).
class FontFinder {
 public:
  FontFinder();
  ~FontFinder();
  FontFinder(const FontFinder&) = delete;
  FontFinder& operator=(const FontFinder&) = delete;

  // Whether the program's rules were loaded.
  bool hasProgramRules() {
    ready();
    return programRules_;
  }
  // The best match; any sans font rather than none. Nothing only when the
  // machine has no fonts at all.
  std::optional<FontFile> find(const std::string& name, int weight);

 private:
  void loadDesignFonts();
  // Which fonts are listed: the look-alikes in the folders Debian puts them
  // in, the look-alikes (and plain sans) anywhere, or every font.
  enum class Scope { kLookAlikeFolders, kLookAlikes, kEveryFont };
  void load(Scope scope = Scope::kLookAlikeFolders);
  // Matches and keeps the answer.
  std::optional<FontFile> remember(const std::string& name, int weight);
  // Lets fontconfig's lists go.
  void release();
  void ready() {
    if (loader_.joinable()) loader_.join();
  }
  std::optional<FontFile> match(const std::string& name, int weight);
  std::optional<FontFile> matchOrSans(const std::string& name, int weight);

  struct Fontconfig;
  std::unique_ptr<Fontconfig> fc_;
  FcConfig* config_ = nullptr;
  bool programRules_ = false;
  bool saidMissing_ = false;
  Scope scope_ = Scope::kEveryFont;
  std::map<std::pair<std::string, int>, std::optional<FontFile>> found_;
  std::thread loader_;
};

}  // namespace sdl
