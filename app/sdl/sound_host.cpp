// The sound host: a process of the game's own that holds the sound card, so
// that every SDL audio call runs on a main thread (this one's) and none of
// them can hold the game, whatever the sound server does. The game kills a
// host that does not answer and starts another at its next sound.
#include "app/sdl/sound_host.h"

#include <SDL.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/sdl/mixer_audio.h"
#include "app/sdl/platform.h"
#include "app/sdl/pulse_card.h"

namespace sdl::host {
namespace {

using Steady = std::chrono::steady_clock;

// On PulseAudio the host speaks to the server itself (PulseCard). Through SDL,
// where it cannot, a sound starts at the next callback, so a short callback
// period keeps the delay after a key short; what guards against underruns on
// a busy machine is the sound server's buffer behind it. PulseAudio sizes
// that buffer from SDL's, unless told otherwise: it is held at what 1,024
// frames gave, the size measured with two busy loops on two cores
// (bench/sound_latency.sh: fewer frames there cut slurps short). Other
// drivers keep SDL's buffer as their only one.
constexpr Uint16 kBufferFrames = 1024;
constexpr Uint16 kPulseCallbackFrames = 256;
constexpr char kPulseBufferMs[] = "23";
constexpr auto kStallBound = std::chrono::milliseconds(kStallBoundMs);
// A card still not asked after the stall bound is taken afresh, and the wait
// before the next try grows this much each time, up to kRetakeMost. A sink
// that renders in long blocks while nothing plays (PulseAudio's null sink: 2 s)
// asks a new stream only at the end of its block; a card closed then frees the
// sink, which starts another long block before the next card is taken, so a
// fixed wait shorter than the block never met an answer and the game stayed
// silent.
constexpr int kRetakeGrowth = 3;
constexpr auto kRetakeMost = std::chrono::milliseconds(9000);
// How often the loop looks at a held card: to let it go, or to see it stall.
constexpr int kWatchMs = 100;

// Sends without ever waiting: a game that does not read loses the message
// and keeps time on its own clock.
void tell(int socket, const Message& m) {
  (void)::send(socket, &m, sizeof m, MSG_DONTWAIT | MSG_NOSIGNAL);
}

// On a PulseCard, where a voice starts in the card's stream (frames); kNever
// until it has its place.
constexpr std::int64_t kNever = INT64_MAX / 2;

struct Voice {
  std::int64_t start = kNever;
  const Sint16* data = nullptr;
  std::size_t frames = 0;
  int channels = 1;
  std::size_t at = 0;
  std::uint32_t serial = 0;
  bool playing = false;
  // What holds the samples: the game's memory file mapped, or a converted copy.
  void* map = nullptr;
  std::size_t mapBytes = 0;
  std::vector<Sint16> converted;
};

class Host final : public CardFeed {
 public:
  Host(int socket, std::chrono::milliseconds idle) : socket_(socket), idle_(idle) {}

  int run() {
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Yumble");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Yumble");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "game");
    for (;;) {
      pollfd p{socket_, POLLIN, 0};
      if (poll(&p, 1, holding() ? kWatchMs : -1) < 0 && errno != EINTR) break;
      if (p.revents & POLLNVAL) break;  // started by hand, with no game on the other end
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && !receive()) break;
      releaseEnded();
      if (holding()) watchCard();
    }
    // The game has ended: so does the host, at once. Closing the card or
    // SDL's audio could wait on a server that does not answer, and the
    // server lets go of a client that is gone as well as of one that leaves.
    std::fflush(nullptr);
    _exit(0);
  }

 private:
  bool holding() const { return card_ || pulse_; }
  // The card has gone with its server.
  bool lost() const {
    return pulse_ ? pulse_->lost() : SDL_GetAudioDeviceStatus(card_) == SDL_AUDIO_STOPPED;
  }

  // The card is held but not asked for samples.
  bool stalled() const { return holding() && Steady::now() - lastMix() > kStallBound; }

  Steady::time_point lastMix() const {
    return std::max(cardSince_, Steady::time_point(Steady::duration(lastMix_.load())));
  }

  // Every message waiting; false once the game has closed its end.
  bool receive() {
    for (;;) {
      Message m;
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
      iovec io{&m, sizeof m};
      msghdr h{};
      h.msg_iov = &io;
      h.msg_iovlen = 1;
      h.msg_control = control;
      h.msg_controllen = sizeof control;
      const ssize_t n = recvmsg(socket_, &h, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
      if (n < 0) return errno == EAGAIN || errno == EINTR;
      if (n == 0) return false;
      int fd = -1;
      const cmsghdr* c = CMSG_FIRSTHDR(&h);
      if (c && c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS)
        std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
      if (n == sizeof m && m.voice < kMaxVoices) {
        if (m.kind == Message::Play) play(m, fd);
        if (m.kind == Message::Halt) halt(m.voice);
      }
      if (fd >= 0) close(fd);
    }
  }

  void play(const Message& m, int fd) {
    const std::string why = load(m, fd);
    if (!why.empty()) return refuse(m, why);
    if (holding() && lost()) dropCard(true);
    if (!holding() && !takeCard()) return refuse(m, SDL_GetError());
    if (pulse_) pulse_->lock();
    {
      std::lock_guard<std::mutex> hold(voicesLock_);
      Voice& v = voices_[m.voice];
      v.at = 0;
      v.start = pulse_ ? kNever : 0;  // on a PulseCard, placed by place()
      v.serial = m.serial;
      v.playing = true;
    }
    if (pulse_) {
      pulse_->startSounds();
      pulse_->unlock();
    }
    lastBusy_ = Steady::now();
    // Where the server has stopped asking for samples, the sound waits for
    // it to answer again, but the game is told it is not heard.
    Message answer{stalled() ? Message::Failed : Message::Started, m.voice, m.serial};
    answer.held = stalled();
    std::strncpy(answer.text, "the sound server does not answer", sizeof answer.text - 1);
    tell(socket_, answer);
  }

  // Maps the game's samples into the voice, converted to the card's rate
  // where they are at another; what went wrong, or nothing.
  std::string load(const Message& m, int fd) {
    release(m.voice, false);
    const std::size_t bytes = m.frames * static_cast<std::size_t>(m.channels) * sizeof(Sint16);
    struct stat s {};
    if (fd < 0 || (m.channels != 1 && m.channels != 2) || m.frames == 0 || m.rate <= 0 ||
        fstat(fd, &s) != 0 || static_cast<std::size_t>(s.st_size) < bytes)
      return "a sound the host could not read";
    // Mapped in full now, so that SDL's audio thread never waits on a page
    // fault, nor on this thread's mapping and unmapping meanwhile.
    void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
    if (map == MAP_FAILED) return std::strerror(errno);
    std::vector<Sint16> converted;
    const auto* data = static_cast<const Sint16*>(map);
    std::size_t frames = m.frames;
    if (m.rate != kFrequency) {
      const auto channels = static_cast<Uint8>(m.channels);
      SDL_AudioCVT cvt;
      if (SDL_BuildAudioCVT(&cvt, AUDIO_S16SYS, channels, m.rate, AUDIO_S16SYS, channels,
                            kFrequency) < 0) {
        munmap(map, bytes);
        return SDL_GetError();
      }
      try {
        converted.resize(
            bytes * static_cast<std::size_t>(std::max(1, cvt.len_mult)) / sizeof(Sint16) + 1);
      } catch (const std::bad_alloc&) {
        munmap(map, bytes);
        return "out of memory";
      }
      std::memcpy(converted.data(), map, bytes);
      munmap(map, bytes);
      map = nullptr;
      cvt.buf = reinterpret_cast<Uint8*>(converted.data());
      cvt.len = static_cast<int>(bytes);
      if (SDL_ConvertAudio(&cvt) != 0) return SDL_GetError();
      frames = static_cast<std::size_t>(cvt.len_cvt) / sizeof(Sint16) /
               static_cast<std::size_t>(m.channels);
      data = converted.data();
    }
    std::lock_guard<std::mutex> hold(voicesLock_);
    Voice& v = voices_[m.voice];
    v.data = data;
    v.frames = frames;
    v.channels = m.channels;
    v.map = map;
    v.mapBytes = map ? bytes : 0;
    v.converted.swap(converted);
    return {};
  }

  void refuse(const Message& m, const std::string& why) {
    release(m.voice, false);
    Message no{Message::Failed, m.voice, m.serial};
    std::strncpy(no.text, why.c_str(), sizeof no.text - 1);
    tell(socket_, no);
  }

  // Stops a voice at once: on a PulseCard, what the server holds of it is
  // written again without it.
  void halt(std::uint32_t voice) {
    if (!pulse_) return release(voice, false);
    pulse_->lock();
    release(voice, false);
    pulse_->rewriteNow();
    pulse_->unlock();
  }

  // Stops a voice (or only frees one that has ended) and lets its samples go.
  void release(std::uint32_t voice, bool onlyEnded) {
    Voice gone;
    {
      std::lock_guard<std::mutex> hold(voicesLock_);
      Voice& v = voices_[voice];
      if (onlyEnded && v.playing) return;
      std::swap(v, gone);
    }
    if (gone.map) munmap(gone.map, gone.mapBytes);
  }

  void releaseEnded() {
    for (std::uint32_t i = 0; i < kMaxVoices; ++i)
      if (voices_[i].map || !voices_[i].converted.empty()) release(i, true);
  }

  bool anyPlaying() {
    std::lock_guard<std::mutex> hold(voicesLock_);
    return std::any_of(voices_.begin(), voices_.end(), [](const Voice& v) { return v.playing; });
  }

  // The libraries under SDL (ALSA above all) print their complaints at each
  // try, and every sound tries again: the game says why once, and the host
  // is quiet after its first failure.
  void quiet() {
    if (const int null = open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }

  bool takeCard() {
    if (!audioStarted_) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return quiet(), false;
      audioStarted_ = true;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    const bool pulse = driver && std::strcmp(driver, "pulseaudio") == 0;
    if (pulse && !pulseRefused_) {
      auto card = std::make_unique<PulseCard>(*this);
      if (card->open()) {
        pulse_ = std::move(card);
        cardSince_ = Steady::now();
        tell(socket_, Message{Message::Card, 0, 0, 0, 0, 1});
        return true;
      }
      pulseRefused_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = kFrequency;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = pulse ? kPulseCallbackFrames : kBufferFrames;
    want.callback = mixInto;
    want.userdata = this;
    // Exactly this format: SDL converts if the card wants another. The
    // server's buffer for SDL's stream, unless the user chose one.
    const bool latency = pulse && !std::getenv("PULSE_LATENCY_MSEC");
    if (latency) setenv("PULSE_LATENCY_MSEC", kPulseBufferMs, 0);
    card_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (latency) unsetenv("PULSE_LATENCY_MSEC");
    if (!card_) {
      // SDL's audio ended too, so that the next sound connects afresh,
      // to the driver it names first.
      const std::string why = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      audioStarted_ = false;
      SDL_SetError("%s", why.c_str());
      quiet();
      return false;
    }
    cardSince_ = Steady::now();
    SDL_PauseAudioDevice(card_, 0);
    tell(socket_, Message{Message::Card, 0, 0, 0, 0, 1});
    return true;
  }

  // The voices still playing are told they were cut, so that the game's
  // waits for them last their sound's length and no more.
  void dropCard(bool endAudio) {
    letCardGo();
    for (std::uint32_t i = 0; i < kMaxVoices; ++i) {
      if (!voices_[i].playing) continue;
      refuse(Message{Message::Play, i, voices_[i].serial}, "the sound card was lost");
    }
    tell(socket_, Message{Message::Card, 0, 0, 0, 0, 0});
    if (endAudio) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      audioStarted_ = false;
    }
  }

  // A card lost with its server is let go, and SDL's audio with it, so that
  // the next sound connects afresh. One whose server stopped answering is
  // kept: closing it would wait on the server, and a server that answers
  // again (or one just started, which can take a second or two to ask for
  // its first samples) plays it on. An idle card is let go, and so is one
  // still not asked once the hold has passed: a server that never asks
  // would otherwise keep the host taking cards, and waking, for ever.
  void watchCard() {
    const auto now = Steady::now();
    if (lost()) {
      // A server that refused this program's own connection, though SDL's
      // reached it, is played to through SDL from now on.
      if (pulse_ && !pulse_->taken()) pulseRefused_ = true;
      return dropCard(true);
    }
    if (stalled()) {
      if (now - lastBusy_ > idle_) return dropCard(false);
      if (now - lastMix() <= retakeAfter_) return;
      retakeAfter_ = std::min<Steady::duration>(retakeAfter_ * kRetakeGrowth, kRetakeMost);
      return takeAgain();
    }
    // Still asked after the bound (SDL mixes once as a card opens, asked or
    // not): the server answers, and a later stall is met with the first wait.
    if (now - cardSince_ > kStallBound) retakeAfter_ = kStallBound;
    const Steady::time_point ended{Steady::duration(lastEnded_.load())};
    if (!anyPlaying() && now - std::max(lastBusy_, ended) > idle_) dropCard(false);
  }

  // The card is held but not asked for samples: a server just started can
  // leave a new stream unasked for seconds, and one taken afresh then plays
  // at once. Where the server has stopped answering, closing waits on it,
  // and the game ends this host when its next sound goes unanswered.
  void takeAgain() {
    letCardGo();
    {
      // Nothing was heard: the voices start again with the new stream.
      std::lock_guard<std::mutex> hold(voicesLock_);
      for (Voice& v : voices_)
        if (v.playing) v.start = 0;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioStarted_ = false;
    if (takeCard()) return;
    for (std::uint32_t i = 0; i < kMaxVoices; ++i)
      if (voices_[i].playing) refuse(Message{Message::Play, i, voices_[i].serial}, SDL_GetError());
    tell(socket_, Message{Message::Card, 0, 0, 0, 0, 0});
  }

  void letCardGo() {
    if (card_) SDL_CloseAudioDevice(card_);
    card_ = 0;
    pulse_.reset();
  }

  // A PulseCard's thread, the card locked: the voices' samples that fall in
  // the stretch asked for.
  void mixAt(std::int16_t* out, std::int64_t from, std::size_t frames) override {
    std::fill_n(out, frames * kChannels, Sint16{0});
    const std::int64_t to = from + static_cast<std::int64_t>(frames);
    std::lock_guard<std::mutex> hold(voicesLock_);
    for (const Voice& v : voices_) {
      if (!v.data) continue;
      const std::int64_t begin = std::max(from, v.start);
      const std::int64_t end = std::min(to, v.start + static_cast<std::int64_t>(v.frames));
      if (begin >= end) continue;
      mixSound(out + (begin - from) * kChannels,
               v.data + (begin - v.start) * static_cast<std::int64_t>(v.channels), v.channels,
               static_cast<std::size_t>(end - begin));
    }
  }

  // A PulseCard's thread: the game told of each end the server has played.
  std::int64_t heard(std::int64_t frame) override {
    std::int64_t next = -1;
    std::lock_guard<std::mutex> hold(voicesLock_);
    for (std::uint32_t i = 0; i < kMaxVoices; ++i) {
      Voice& v = voices_[i];
      if (!v.playing || v.start == kNever) continue;
      const std::int64_t end = v.start + static_cast<std::int64_t>(v.frames);
      if (end > frame) {
        next = next < 0 ? end : std::min(next, end);
        continue;
      }
      v.playing = false;
      lastEnded_ = Steady::now().time_since_epoch().count();
      tell(socket_, Message{Message::Ended, i, v.serial});
    }
    return next;
  }

  void asked() override { lastMix_ = Steady::now().time_since_epoch().count(); }

  void shift(std::int64_t frames) override {
    std::lock_guard<std::mutex> hold(voicesLock_);
    for (Voice& v : voices_)
      if (v.start != kNever) v.start += frames;
  }

  bool place(std::int64_t frame) override {
    bool any = false;
    std::lock_guard<std::mutex> hold(voicesLock_);
    for (Voice& v : voices_) {
      if (!v.playing || v.start != kNever) continue;  // not waiting for its place
      v.start = frame;
      any = true;
    }
    return any;
  }

  static void SDLCALL mixInto(void* self, Uint8* stream, int length) {
    static_cast<Host*>(self)->mix(reinterpret_cast<Sint16*>(stream),
                                  static_cast<std::size_t>(length) / sizeof(Sint16));
  }

  // SDL's audio thread: ready samples added up, and the game told of each end.
  void mix(Sint16* out, std::size_t count) {
    const auto now = Steady::now().time_since_epoch().count();
    lastMix_ = now;
    std::fill_n(out, count, Sint16{0});
    std::lock_guard<std::mutex> hold(voicesLock_);
    for (std::uint32_t i = 0; i < kMaxVoices; ++i) {
      Voice& v = voices_[i];
      if (!v.playing) continue;
      const std::size_t n = std::min(count / kChannels, v.frames - v.at);
      mixSound(out, v.data + v.at * static_cast<std::size_t>(v.channels), v.channels, n);
      v.at += n;
      if (v.at < v.frames) continue;
      v.playing = false;
      lastEnded_ = now;
      tell(socket_, Message{Message::Ended, i, v.serial});
    }
  }

  const int socket_;
  const std::chrono::milliseconds idle_;
  std::mutex voicesLock_;  // the voices: mix() and this thread
  std::array<Voice, kMaxVoices> voices_{};
  std::atomic<Steady::rep> lastEnded_{0};
  std::atomic<Steady::rep> lastMix_{0};
  SDL_AudioDeviceID card_ = 0;
  std::unique_ptr<PulseCard> pulse_;
  bool audioStarted_ = false;
  bool pulseRefused_ = false;
  Steady::time_point cardSince_, lastBusy_;
  Steady::duration retakeAfter_ = kStallBound;
};

}  // namespace

int run(int socket, std::chrono::milliseconds idleRelease) {
  // Named for what it is in a list of processes, rather than "exe".
  prctl(PR_SET_NAME, "yumble-sound");
  // The desktop's mixer shows the game with its menu entry's icon.
  setenv("PULSE_PROP_application.icon_name", "org.yumble.Yumble", 0);
  // SDL's audio thread runs at the highest priority it may have, and waits on
  // this thread's short holds of the voices: this one runs as promptly, where
  // the system lets it (as root; a desktop user is refused, and that is all),
  // and so does a PulseCard's thread, started from it.
  (void)setpriority(PRIO_PROCESS, 0, -20);
  Host host(socket, idleRelease);
  return host.run();
}

}  // namespace sdl::host

namespace sdl {

std::optional<int> runSoundHostIfAsked(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], host::kMark) != 0) return std::nullopt;
  const long idle = std::strtol(argv[2], nullptr, 10);
  return host::run(host::kSocket, std::chrono::milliseconds(std::clamp(idle, 0L, 60000L)));
}

}  // namespace sdl
