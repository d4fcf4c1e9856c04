#include "app/sdl/fonts.h"

#include <dlfcn.h>

#include <cstdio>
#include <system_error>
#include <utility>

namespace sdl {

// fontconfig is needed only while fonts are looked for, at the start, so the
// program does not link it: it is loaded on the font thread (its loading off
// the way to the first paint) and let go once the fonts are found, its pages
// and lists with it (a third of a megabyte held for nothing otherwise).
// clang-format off
#define YUMBLE_FONTCONFIG_CALLS(X) \
  X(ConfigCreate) \
  X(ConfigDestroy) \
  X(ConfigParseAndLoadFromMemory) \
  X(ConfigBuildFonts) \
  X(InitLoadConfig) \
  X(ConfigSubstitute) \
  X(DefaultSubstitute) \
  X(FontMatch) \
  X(PatternCreate) \
  X(PatternDestroy) \
  X(PatternAddString) \
  X(PatternAddInteger) \
  X(PatternAddBool) \
  X(PatternGetString) \
  X(PatternGetInteger) \
  X(WeightFromOpenType) \
  X(StrCmpIgnoreCase) \
  X(Fini)
// clang-format on
struct FontFinder::Fontconfig {
#define YUMBLE_DECLARE(name) decltype(&::Fc##name) name = nullptr;
  YUMBLE_FONTCONFIG_CALLS(YUMBLE_DECLARE)
#undef YUMBLE_DECLARE
  void* library = nullptr;
  bool ours = false;  // loaded by no one else: its state ends with it

  static std::unique_ptr<Fontconfig> open() {
    auto fc = std::make_unique<Fontconfig>();
    constexpr const char* kName = "libfontconfig.so.1";
    void* already = dlopen(kName, RTLD_NOW | RTLD_NOLOAD);
    fc->ours = !already;
    if (already) dlclose(already);
    fc->library = dlopen(kName, RTLD_NOW | RTLD_LOCAL);
    if (!fc->library) return nullptr;
    bool all = true;
#define YUMBLE_FIND(name)                                                          \
  fc->name = reinterpret_cast<decltype(fc->name)>(dlsym(fc->library, "Fc" #name)); \
  all = all && fc->name;
    YUMBLE_FONTCONFIG_CALLS(YUMBLE_FIND)
#undef YUMBLE_FIND
    if (!all) fc->ours = false;  // not the fontconfig we know: leave its state be
    return all ? std::move(fc) : nullptr;
  }
  ~Fontconfig() {
    if (ours) Fini();
    dlclose(library);
  }
};

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
  fc_.reset();
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
  if (config_) fc_->ConfigDestroy(config_);
  config_ = nullptr;
}

void FontFinder::load(Scope scope) {
  // The rules come before the fonts are listed, as they also choose file
  // formats. Should they not load, the system's rules still find some fonts.
  auto parse = [this](const char* rules) {
    return fc_->ConfigParseAndLoadFromMemory(config_, reinterpret_cast<const FcChar8*>(rules),
                                             FcTrue) == FcTrue;
  };
  if (!fc_ && !(fc_ = Fontconfig::open())) {
    if (!std::exchange(saidMissing_, true))
      std::fprintf(stderr, "yumble: cannot load fontconfig to find fonts\n");
    return;
  }
  config_ = fc_->ConfigCreate();
  programRules_ = config_ && parse(kRules) &&
                  parse(scope == Scope::kLookAlikeFolders ? kLookAlikeFolders : kAllFolders);
  scope_ = programRules_ && (scope == Scope::kEveryFont || parse(kOnlyLookAlikes))
               ? scope
               : Scope::kEveryFont;
  if (!programRules_) {
    if (config_) fc_->ConfigDestroy(config_);
    config_ = fc_->InitLoadConfig();
  }
  if (!config_) return;
  if (!fc_->ConfigBuildFonts(config_)) {
    fc_->ConfigDestroy(config_);
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
  fc_.reset();
  return file;
}

std::optional<FontFile> FontFinder::match(const std::string& name, int weight) {
  if (!config_) return std::nullopt;
  FcPattern* pattern = fc_->PatternCreate();
  if (!pattern) return std::nullopt;
  fc_->PatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  fc_->PatternAddInteger(pattern, FC_WEIGHT, fc_->WeightFromOpenType(weight));
  fc_->PatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  fc_->PatternAddBool(pattern, FC_SCALABLE, FcTrue);
  std::optional<FontFile> file;
  if (fc_->ConfigSubstitute(config_, pattern, FcMatchPattern)) {
    fc_->DefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* found = fc_->FontMatch(config_, pattern, &result)) {
      FcChar8* path = nullptr;
      FcChar8* family = nullptr;
      int index = 0;
      // In the look-alikes' own folders only the family asked for will do
      // (the rules put the look-alike first): any other may be elsewhere.
      FcChar8* wanted = nullptr;
      bool fits = scope_ != Scope::kLookAlikeFolders;
      if (!fits && fc_->PatternGetString(pattern, FC_FAMILY, 0, &wanted) == FcResultMatch)
        for (int i = 0;
             !fits && fc_->PatternGetString(found, FC_FAMILY, i, &family) == FcResultMatch; ++i)
          fits = fc_->StrCmpIgnoreCase(family, wanted) == 0;
      family = nullptr;
      if (fits && fc_->PatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
        fc_->PatternGetInteger(found, FC_INDEX, 0, &index);
        fc_->PatternGetString(found, FC_FAMILY, 0, &family);
        file = FontFile{reinterpret_cast<const char*>(path), index,
                        family ? reinterpret_cast<const char*>(family) : ""};
      }
      fc_->PatternDestroy(found);
    }
  }
  fc_->PatternDestroy(pattern);
  return file;
}

}  // namespace sdl
