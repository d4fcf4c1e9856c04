#include "app/sdl/fonts.h"

#include <system_error>

namespace sdl {
namespace {

// The fonts the game's designs name, mapped to free look-alikes. They are part
// of the program rather than a file beside it, so nothing on the disk can
// take the game's look away. They are all the rules the game reads: the
// system's own (dozens of files, about 4 ms of parsing at every start) only
// tune how fonts are drawn, which the game does itself, so they name the
// caches the system keeps of the font folders too (the folders come below).
constexpr const char* kRules = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <!-- A name no font answers to falls back to the plain sans. -->
  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <alias>
    <family>sans-serif</family>
    <prefer><family>DejaVu Sans</family><family>Liberation Sans</family></prefer>
  </alias>
  <!-- Prefer the OpenType files; the same fonts also come as Type 1. -->
  <selectfont>
    <rejectfont>
      <pattern><patelt name="fontformat"><string>Type 1</string></patelt></pattern>
    </rejectfont>
  </selectfont>
  <match target="pattern">
    <test name="family" qual="any"><string>Century Gothic</string></test>
    <edit name="family" mode="assign" binding="strong"><string>URW Gothic</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>Century Schoolbook</string></test>
    <edit name="family" mode="assign" binding="strong"><string>C059</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>Comic Sans MS</string></test>
    <edit name="family" mode="assign" binding="strong"><string>Comic Neue</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>MS Sans Serif</string></test>
    <edit name="family" mode="assign" binding="strong"><string>DejaVu Sans</string></edit>
  </match>
</fontconfig>
)";

// The folders where Debian's packages put the look-alikes: their lists alone
// take a quarter of a millisecond to read, every font folder's 3-4 ms.
constexpr const char* kLookAlikeFolders = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/opentype/comic-neue</dir>
  <dir>/usr/share/fonts/opentype/urw-base35</dir>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
</fontconfig>
)";
constexpr const char* kAllFolders = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts</dir>
  <dir>/usr/local/share/fonts</dir>
</fontconfig>
)";

// The rules above choose among the look-alikes and the plain sans alone, so
// only those are listed: matching a name against every font on a machine
// with thousands of them took 6-7 ms for the designs' five, against 0.3 ms.
// (Both conditions of a pattern must hold, and of an element's values all
// of them.) Should none of them be installed, every font is listed after all.
constexpr const char* kOnlyLookAlikes = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <selectfont>
    <acceptfont>
      <pattern><patelt name="family"><string>URW Gothic</string></patelt><patelt name="fontformat"><string>CFF</string></patelt></pattern>
      <pattern><patelt name="family"><string>URW Gothic</string></patelt><patelt name="fontformat"><string>TrueType</string></patelt></pattern>
      <pattern><patelt name="family"><string>C059</string></patelt><patelt name="fontformat"><string>CFF</string></patelt></pattern>
      <pattern><patelt name="family"><string>C059</string></patelt><patelt name="fontformat"><string>TrueType</string></patelt></pattern>
      <pattern><patelt name="family"><string>Comic Neue</string></patelt><patelt name="fontformat"><string>CFF</string></patelt></pattern>
      <pattern><patelt name="family"><string>Comic Neue</string></patelt><patelt name="fontformat"><string>TrueType</string></patelt></pattern>
      <pattern><patelt name="family"><string>DejaVu Sans</string></patelt><patelt name="fontformat"><string>CFF</string></patelt></pattern>
      <pattern><patelt name="family"><string>DejaVu Sans</string></patelt><patelt name="fontformat"><string>TrueType</string></patelt></pattern>
      <pattern><patelt name="family"><string>Liberation Sans</string></patelt><patelt name="fontformat"><string>CFF</string></patelt></pattern>
      <pattern><patelt name="family"><string>Liberation Sans</string></patelt><patelt name="fontformat"><string>TrueType</string></patelt></pattern>
    </acceptfont>
    <rejectfont><pattern/></rejectfont>
  </selectfont>
</fontconfig>
)";

// The fonts the designs ask for, found while the program starts; then
// fontconfig's lists of every font on the machine (megabytes where large
// families are installed) are let go. Any other font builds them again, once.
constexpr std::pair<const char*, int> kDesignFonts[] = {{"Comic Sans MS", 700},
                                                        {"Century Gothic", 600},
                                                        {"Century Schoolbook", 600},
                                                        {"MS Sans Serif", 400},
                                                        {"MS Sans Serif", 700}};

}  // namespace

FontFinder::FontFinder() {
  try {
    loader_ = std::thread([this] { loadDesignFonts(); });
  } catch (const std::system_error&) {
    loadDesignFonts();  // no thread to be had: here, then
  }
}

void FontFinder::loadDesignFonts() {
  load();
  for (const auto& [name, weight] : kDesignFonts) remember(name, weight);
  release();
}

// Where the fonts listed do not answer, more are listed: a look-alike that is
// not in its Debian folder, a name the rules do not map, no look-alike at all.
std::optional<FontFile> FontFinder::remember(const std::string& name, int weight) {
  auto file = matchOrSans(name, weight);
  while (!file && config_ && scope_ != Scope::kEveryFont) {
    release();
    load(scope_ == Scope::kLookAlikeFolders ? Scope::kLookAlikes : Scope::kEveryFont);
    file = matchOrSans(name, weight);
  }
  found_[std::make_pair(name, weight)] = file;
  return file;
}

std::optional<FontFile> FontFinder::matchOrSans(const std::string& name, int weight) {
  auto file = match(name, weight);
  return file || scope_ == Scope::kLookAlikeFolders ? file : match("sans-serif", weight);
}

void FontFinder::release() {
  if (config_) FcConfigDestroy(config_);
  config_ = nullptr;
}

void FontFinder::load(Scope scope) {
  // The rules come before the fonts are listed, as they also choose file
  // formats. Should they not load, the system's rules still find some fonts.
  auto parse = [this](const char* rules) {
    return FcConfigParseAndLoadFromMemory(config_, reinterpret_cast<const FcChar8*>(rules),
                                          FcTrue) == FcTrue;
  };
  config_ = FcConfigCreate();
  programRules_ = config_ && parse(kRules) &&
                  parse(scope == Scope::kLookAlikeFolders ? kLookAlikeFolders : kAllFolders);
  scope_ = programRules_ && (scope == Scope::kEveryFont || parse(kOnlyLookAlikes))
               ? scope
               : Scope::kEveryFont;
  if (!programRules_) {
    if (config_) FcConfigDestroy(config_);
    config_ = FcInitLoadConfig();
  }
  if (!config_) return;
  if (!FcConfigBuildFonts(config_)) {
    FcConfigDestroy(config_);
    config_ = nullptr;
  }
}

FontFinder::~FontFinder() {
  ready();
}

std::optional<FontFile> FontFinder::find(const std::string& name, int weight) {
  ready();
  if (auto it = found_.find(std::make_pair(name, weight)); it != found_.end()) return it->second;
  load();
  auto file = remember(name, weight);
  release();
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
      // In the look-alikes' own folders only the family asked for will do
      // (the rules put the look-alike first): any other may be elsewhere.
      FcChar8* wanted = nullptr;
      bool fits = scope_ != Scope::kLookAlikeFolders;
      if (!fits && FcPatternGetString(pattern, FC_FAMILY, 0, &wanted) == FcResultMatch)
        for (int i = 0; !fits && FcPatternGetString(found, FC_FAMILY, i, &family) == FcResultMatch;
             ++i)
          fits = FcStrCmpIgnoreCase(family, wanted) == 0;
      family = nullptr;
      if (fits && FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
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
