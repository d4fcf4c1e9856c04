// Typed text to KeyAscii codes, whatever the keyboard layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#ifdef YUMBLE_HAVE_SDL
#include <SDL.h>

#include "app/sdl/keys.h"

using sdl::keyAsciiCodes;
using Codes = std::vector<std::int16_t>;

TEST(KeyAsciiCodes, AsciiKeepsItsCodeAndCase) {
  EXPECT_EQ(keyAsciiCodes("a"), Codes{97});
  EXPECT_EQ(keyAsciiCodes("Q"), Codes{81});
  EXPECT_EQ(keyAsciiCodes("09"), (Codes{48, 57}));
  EXPECT_EQ(keyAsciiCodes(" !?~"), (Codes{32, 33, 63, 126}));
  EXPECT_EQ(keyAsciiCodes(""), Codes{});
}

TEST(KeyAsciiCodes, AccentedLettersTakeTheirLatin1Code) {
  EXPECT_EQ(keyAsciiCodes("\u00e9"), Codes{233});  // é
  EXPECT_EQ(keyAsciiCodes("\u00df"), Codes{223});  // ß
  EXPECT_EQ(keyAsciiCodes("\u00c9\u00ff\u00a0"), (Codes{201, 255, 160}));
}

TEST(KeyAsciiCodes, AnsiExtrasTakeTheirWindowsCode) {
  EXPECT_EQ(keyAsciiCodes("\u20ac"), Codes{128});  // €
  EXPECT_EQ(keyAsciiCodes("\u0160\u0178\u2122"), (Codes{138, 159, 153}));
}

TEST(KeyAsciiCodes, CharactersAnsiLacksBecomeQuestionMarks) {
  EXPECT_EQ(keyAsciiCodes("\u65e5"), Codes{63});      // 日
  EXPECT_EQ(keyAsciiCodes("\U0001F438"), Codes{63});  // a frog, four bytes
  EXPECT_EQ(keyAsciiCodes("\u0100"), Codes{63});      // just past Latin-1
  EXPECT_EQ(keyAsciiCodes("\u0081"), Codes{63});      // a C1 control, unused in ANSI
}

TEST(KeyAsciiCodes, EachCharacterOfATextGivesOneCode) {
  EXPECT_EQ(keyAsciiCodes("a\u00e9\u65e5B"), (Codes{97, 233, 63, 66}));
}

TEST(KeyAsciiCodes, MalformedBytesAreSkippedAndTheRestKept) {
  EXPECT_EQ(keyAsciiCodes("\xff"), Codes{});
  EXPECT_EQ(keyAsciiCodes("a\x80"
                          "b"),
            (Codes{97, 98}));                 // stray continuation
  EXPECT_EQ(keyAsciiCodes("\xc3"), Codes{});  // cut short at the end
  EXPECT_EQ(keyAsciiCodes("\xc3"
                          "A"),
            Codes{65});                           // cut short by a letter
  EXPECT_EQ(keyAsciiCodes("\xc0\xaf"), Codes{});  // overlong '/'
  EXPECT_EQ(keyAsciiCodes("\xe0\x80\xaf"
                          "x"),
            Codes{120});                                  // overlong, three bytes
  EXPECT_EQ(keyAsciiCodes("\xed\xa0\x80"), Codes{});      // a surrogate
  EXPECT_EQ(keyAsciiCodes("\xf4\x90\x80\x80"), Codes{});  // past U+10FFFF
  EXPECT_EQ(keyAsciiCodes("\xe2\x82"
                          "\xc3\xa9"),
            Codes{233});  // broken €, then é
}

TEST(KeyAsciiOfKey, KeysWithoutTextHaveTheirControlCodes) {
  EXPECT_EQ(sdl::keyAsciiOfKey(SDLK_RETURN), 13);
  EXPECT_EQ(sdl::keyAsciiOfKey(SDLK_KP_ENTER), 13);
  EXPECT_EQ(sdl::keyAsciiOfKey(SDLK_BACKSPACE), 8);
  EXPECT_EQ(sdl::keyAsciiOfKey(SDLK_ESCAPE), 27);
  EXPECT_EQ(sdl::keyAsciiOfKey(SDLK_TAB), 9);
}

TEST(KeyAsciiOfKey, KeysThatTypeTextComeOnlyAsText) {
  // Letters arrive as text input; taking them here too would type them twice.
  EXPECT_FALSE(sdl::keyAsciiOfKey(SDLK_a));
  EXPECT_FALSE(sdl::keyAsciiOfKey(SDLK_1));
  EXPECT_FALSE(sdl::keyAsciiOfKey(SDLK_SPACE));
  EXPECT_FALSE(sdl::keyAsciiOfKey(SDLK_F4));
  EXPECT_FALSE(sdl::keyAsciiOfKey(SDLK_LSHIFT));
}

#endif
