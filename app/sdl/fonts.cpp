#include "app/sdl/fonts.h"

namespace sdl {

FontFinder::FontFinder(std::string configPath)
    : configPath_(std::move(configPath)), loader_([this] { load(configPath_); }) {}

void FontFinder::load(const std::string& configPath) {
  // The system's rules without scanning fonts yet, so that the program's
  // rules (which also choose file formats) apply to the scan.
  config_ = FcInitLoadConfig();
  if (!config_) return;
  programRules_ =
      !configPath.empty() && configPath.front() == '/' &&
      FcConfigParseAndLoad(config_, reinterpret_cast<const FcChar8*>(configPath.c_str()), FcTrue) ==
          FcTrue;
  if (!FcConfigBuildFonts(config_)) {
    FcConfigDestroy(config_);
    config_ = nullptr;
  }
}

FontFinder::~FontFinder() {
  ready();
  if (config_) FcConfigDestroy(config_);
}

std::optional<FontFile> FontFinder::find(const std::string& name, int weight) {
  const auto key = std::make_pair(name, weight);
  if (auto it = found_.find(key); it != found_.end()) return it->second;
  ready();
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
