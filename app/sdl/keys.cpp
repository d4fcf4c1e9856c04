#include "app/sdl/keys.h"

#include <SDL.h>

#include <array>

namespace sdl {
namespace {

constexpr std::int16_t kUnknown = '?';

// Windows-1252 puts typographic characters where Latin-1 has control codes.
constexpr std::array<char32_t, 32> kAnsi80To9F{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes one character at s[i], advancing i past it; nothing for a malformed
// sequence, which is skipped one byte at a time.
std::optional<char32_t> nextCodePoint(std::string_view s, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  std::size_t length;
  char32_t cp;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07;
  } else {
    ++i;
    return std::nullopt;
  }
  if (i + length > s.size()) {
    ++i;
    return std::nullopt;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return std::nullopt;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points past Unicode's end.
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    ++i;
    return std::nullopt;
  }
  i += length;
  return cp;
}

}  // namespace

std::int16_t ansiCode(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::int16_t>(cp);
  for (std::size_t k = 0; k < kAnsi80To9F.size(); ++k)
    if (kAnsi80To9F[k] != 0 && kAnsi80To9F[k] == cp) return static_cast<std::int16_t>(0x80 + k);
  return kUnknown;
}

std::vector<std::int16_t> keyAsciiCodes(std::string_view utf8) {
  std::vector<std::int16_t> codes;
  for (std::size_t i = 0; i < utf8.size();)
    if (auto cp = nextCodePoint(utf8, i)) codes.push_back(ansiCode(*cp));
  return codes;
}

std::optional<std::int16_t> keyAsciiOfKey(std::int32_t sdlKeyCode) {
  switch (sdlKeyCode) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_ESCAPE:
      return 27;
    case SDLK_TAB:
      return 9;
    default:
      return std::nullopt;
  }
}

}  // namespace sdl
