#pragma once

#include <chrono>
#include <cstdint>

// What the game and its sound host say to each other over their socket pair:
// one fixed-size message a packet, a sound's samples passed as a memory file
// alongside a Play.
namespace sdl::host {

// The host's own mark in its arguments: `yumble --sound-host IDLE_MS`, its
// socket as descriptor kSocket.
inline constexpr char kMark[] = "--sound-host";
inline constexpr int kSocket = 3;
inline constexpr int kFrequency = 44100;
inline constexpr int kChannels = 2;
inline constexpr std::size_t kMaxVoices = 64;
// A card not asked for samples for this long waits on a server that does not
// answer, and is taken again.
inline constexpr int kStallBoundMs = 1000;

struct Message {
  enum Kind : std::uint32_t {
    // game to host
    Play,  // with the samples' memory file: 16-bit, `channels`, `rate`
    Halt,
    // host to game
    Started,  // the voice is being mixed into a card
    Failed,   // no card took it: `text` says why, `held` when the card is held but stalled
    Ended,    // the voice's sound played to its end
    Card,     // the card is now held (`held`) or let go
  };
  Kind kind = Play;
  std::uint32_t voice = 0;
  std::uint32_t serial = 0;  // which play of the voice
  std::int32_t rate = 0;
  std::int32_t channels = 0;
  std::uint32_t held = 0;
  std::uint64_t frames = 0;
  char text[160] = {};
};

// The host's main loop on descriptor `socket`, until the game closes its end;
// the card is let go after idleRelease of silence. Returns the exit status.
int run(int socket, std::chrono::milliseconds idleRelease);

}  // namespace sdl::host
