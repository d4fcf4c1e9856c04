// The designs' font names, found through the program's own font rules.
#include <gtest/gtest.h>

#ifdef YUMBLE_HAVE_SDL
#include <filesystem>
#include <fstream>
#include <string>

#include "app/sdl/fonts.h"

namespace {

std::string fileName(const std::optional<sdl::FontFile>& f) {
  return f ? std::filesystem::path(f->path).filename().string() : "(none)";
}

struct FontsTest : ::testing::Test {
  sdl::FontFinder fonts;
};

TEST_F(FontsTest, TheProgramRulesAreRead) {
  EXPECT_TRUE(fonts.hasProgramRules());
}

TEST_F(FontsTest, CenturyGothicIsUrwGothicBookOrDemi) {
  EXPECT_EQ(fileName(fonts.find("Century Gothic", 400)), "URWGothic-Book.otf");
  EXPECT_EQ(fileName(fonts.find("Century Gothic", 600)), "URWGothic-Demi.otf");
}

TEST_F(FontsTest, CenturySchoolbookIsC059) {
  EXPECT_EQ(fileName(fonts.find("Century Schoolbook", 600)), "C059-Bold.otf");
  EXPECT_EQ(fileName(fonts.find("Century Schoolbook", 400)), "C059-Roman.otf");
}

TEST_F(FontsTest, ComicSansIsComicNeueWithItsRealBold) {
  EXPECT_EQ(fileName(fonts.find("Comic Sans MS", 700)), "ComicNeue-Bold.otf");
  EXPECT_EQ(fileName(fonts.find("Comic Sans MS", 400)), "ComicNeue-Regular.otf");
}

TEST_F(FontsTest, TheDefaultFontIsAPlainSans) {
  EXPECT_EQ(fileName(fonts.find("MS Sans Serif", 400)), "DejaVuSans.ttf");
}

TEST_F(FontsTest, AnUnknownNameGivesThePlainSans) {
  EXPECT_EQ(fileName(fonts.find("No Such Font Anywhere", 400)), "DejaVuSans.ttf");
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
