// Typed text to KeyAscii codes, whatever the keyboard layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#ifdef YUMBLE_HAVE_SDL
#include "app/sdl/keys.h"

using sdl::keyAsciiCodes;
using Codes = std::vector<std::int16_t>;

// ASCII keeps its code and case; accented letters take their Latin-1 code and
// the ANSI extras their Windows one; what ANSI lacks becomes a question mark;
// each character of a text gives one code; malformed bytes are skipped.
TEST(KeyAsciiCodes, EachCharacterGivesItsAnsiCode) {
  const std::vector<std::pair<const char*, Codes>> cases{
      {"a", {97}},
      {"Q", {81}},
      {"09", {48, 57}},
      {" !?~", {32, 33, 63, 126}},
      {"", {}},
      {"\u00e9", {233}},  // é
      {"\u00df", {223}},  // ß
      {"\u00c9\u00ff\u00a0", {201, 255, 160}},
      {"\u20ac", {128}},  // €
      {"\u0160\u0178\u2122", {138, 159, 153}},
      {"\u65e5", {63}},      // 日
      {"\U0001F438", {63}},  // a frog, four bytes
      {"\u0100", {63}},      // just past Latin-1
      {"\u0081", {63}},      // a C1 control, unused in ANSI
      {"a\u00e9\u65e5B", {97, 233, 63, 66}},
      {"\xff", {}},
      {"a\200b", {97, 98}},         // stray continuation
      {"\xc3", {}},                 // cut short at the end
      {"\303A", {65}},              // cut short by a letter
      {"\xc0\xaf", {}},             // overlong '/'
      {"\340\200\257x", {120}},     // overlong, three bytes
      {"\xed\xa0\x80", {}},         // a surrogate
      {"\xf4\x90\x80\x80", {}},     // past U+10FFFF
      {"\xe2\x82\xc3\xa9", {233}},  // broken €, then é
  };
  for (const auto& [text, codes] : cases) EXPECT_EQ(keyAsciiCodes(text), codes) << text;
}

#endif
