#include "app/sdl/fonts.h"

#include "media/file_read.h"

namespace sdl {

FontFinder::FontFinder(const std::string& configPath) {
  // The system's rules without scanning fonts yet, so that the program's
  // rules (which also choose file formats) apply to the scan.
  config_ = FcInitLoadConfig();
  if (!config_) return;
  programRules_ = !configPath.empty() && configPath.front() == '/' && loadRules(configPath);
  if (!FcConfigBuildFonts(config_)) {
    FcConfigDestroy(config_);
    config_ = nullptr;
  }
}

// Read by the program, so that a named pipe or a huge file in its place is only
// a file that cannot be read.
bool FontFinder::loadRules(const std::string& configPath) {
  auto text = media::readRegularFile(configPath, media::kMaxFontRulesBytes);
  if (!text) return false;
  text->push_back(0);
  return FcConfigParseAndLoadFromMemory(config_, text->data(), FcTrue) == FcTrue;
}

FontFinder::~FontFinder() {
  if (config_) FcConfigDestroy(config_);
}

std::optional<FontFile> FontFinder::find(const std::string& name, int weight) {
  const auto key = std::make_pair(name, weight);
  if (auto it = found_.find(key); it != found_.end()) return it->second;
  auto file = match(name, weight);
  if (!file) file = match("sans-serif", weight);
  found_[key] = file;
  return file;
}

std::optional<FontFile> FontFinder::match(const std::string& name, int weight) {
  if (!config_) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return std::nullopt;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  std::optional<FontFile> file;
  if (FcConfigSubstitute(config_, pattern, FcMatchPattern)) {
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* found = FcFontMatch(config_, pattern, &result)) {
      FcChar8* path = nullptr;
      FcChar8* family = nullptr;
      int index = 0;
      if (FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
        FcPatternGetInteger(found, FC_INDEX, 0, &index);
        FcPatternGetString(found, FC_FAMILY, 0, &family);
        file = FontFile{reinterpret_cast<const char*>(path), index,
                        family ? reinterpret_cast<const char*>(family) : ""};
      }
      FcPatternDestroy(found);
    }
  }
  FcPatternDestroy(pattern);
  return file;
}

}  // namespace sdl
