// The designs' font names, found through the program's own font rules.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "app/sdl/fonts.h"

namespace {

std::string fileName(const std::optional<sdl::FontFile>& f) {
  return f ? std::filesystem::path(f->path).filename().string() : "(none)";
}

// Each name of the designs, at its weights, to the free look-alike's file;
// an unknown name to the plain sans.
TEST(Fonts, TheProgramRulesMapEachDesignNameToItsLookAlike) {
  sdl::FontFinder fonts;
  EXPECT_TRUE(fonts.hasProgramRules());
  for (auto [name, weight, file] : {std::tuple{"Century Gothic", 400, "URWGothic-Book.otf"},
                                    {"Century Gothic", 600, "URWGothic-Demi.otf"},
                                    {"Century Schoolbook", 600, "C059-Bold.otf"},
                                    {"Century Schoolbook", 400, "C059-Roman.otf"},
                                    {"Comic Sans MS", 700, "ComicNeue-Bold.otf"},
                                    {"Comic Sans MS", 400, "ComicNeue-Regular.otf"},
                                    {"MS Sans Serif", 400, "DejaVuSans.ttf"},
                                    {"No Such Font Anywhere", 400, "DejaVuSans.ttf"}})
    EXPECT_EQ(fileName(fonts.find(name, weight)), file) << name << " " << weight;
  // fontconfig is let go once they are found, its pages with it.
  EXPECT_EQ(dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// The look does not hang on any file: even a machine whose own font rules
// are broken gets the look-alikes.
TEST(FontsWithBrokenSystemRules, StillMapTheDesignsNames) {
  const std::string broken = std::filesystem::temp_directory_path() / "yumble-broken-fonts.conf";
  std::ofstream(broken) << "<fontconfig><this is not xml";
  setenv("FONTCONFIG_FILE", broken.c_str(), 1);
  sdl::FontFinder fonts;
  unsetenv("FONTCONFIG_FILE");
  std::filesystem::remove(broken);
  EXPECT_EQ(fileName(fonts.find("Century Gothic", 600)), "URWGothic-Demi.otf");
  EXPECT_EQ(fileName(fonts.find("Comic Sans MS", 700)), "ComicNeue-Bold.otf");
}

}  // namespace
#endif
