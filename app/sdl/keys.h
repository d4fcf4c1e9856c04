#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace sdl {

// The KeyAscii codes of typed text (UTF-8), one per character, so the code is
// that of the character printed on the key whatever the keyboard layout:
// ASCII as is, other characters by their ANSI (Windows-1252) code, '?' for
// anything ANSI lacks. Malformed bytes are skipped.
std::vector<std::int16_t> keyAsciiCodes(std::string_view utf8);

// The code of a character outside ASCII, by its Unicode code point.
std::int16_t ansiCode(char32_t codePoint);

// The keys that type no text but have a KeyAscii code: Return and keypad
// Enter (13), Backspace (8), Escape (27), Tab (9). The key code is SDL's.
std::optional<std::int16_t> keyAsciiOfKey(std::int32_t sdlKeyCode);

}  // namespace sdl
