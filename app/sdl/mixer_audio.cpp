#include "app/sdl/mixer_audio.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/base/bell.h"
#include "app/sdl/sound_host.h"
#include "media/wav.h"

namespace sdl {
namespace {

using host::kChannels;
using host::kMaxVoices;
using host::Message;
using Steady = std::chrono::steady_clock;

// A host that takes longer than this to answer a sound is killed: the game
// goes on silent until the next sound starts another.
constexpr auto kAnswerBound = std::chrono::milliseconds(1000);
// How long shutdown waits for a killed host to be gone.
constexpr auto kShutdownBound = std::chrono::milliseconds(250);

// A sound ready for the host: exactly the samples the header check read, as
// 16-bit values at the file's own rate, in a sealed memory file that the host
// maps; nothing is copied again at each play.
struct Samples {
  int fd = -1;
  int channels = 1;
  int rate = host::kFrequency;
  std::uint64_t frames = 0;
  ~Samples() {
    if (fd >= 0) close(fd);
  }
  std::int64_t lengthMs() const { return static_cast<std::int64_t>(frames * 1000 / rate); }
};

// Nothing if the file is not a plausible wave, or memory runs short.
std::unique_ptr<Samples> loadWave(const std::string& path) noexcept try {
  // Read here, never by SDL, so that a named pipe or a device cannot hold
  // the game and the file cannot be read two ways.
  const auto wave = media::loadWaveFile(path);
  if (!wave) return nullptr;
  const std::vector<std::int16_t> pcm = media::samples16(wave->info, wave->bytes);
  auto out = std::make_unique<Samples>();
  out->channels = wave->info.channels;
  out->rate = wave->info.sampleRate;
  out->frames = pcm.size() / static_cast<std::size_t>(out->channels);
  if (out->frames == 0) return out;
  out->fd = memfd_create("yumble-sound", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (out->fd < 0) return nullptr;
  const auto* bytes = reinterpret_cast<const char*>(pcm.data());
  std::size_t left = pcm.size() * sizeof pcm[0];
  while (left > 0) {
    const ssize_t n = write(out->fd, bytes, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return nullptr;
    bytes += n;
    left -= static_cast<std::size_t>(n);
  }
  fcntl(out->fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
  return out;
} catch (const std::exception&) {
  return nullptr;
}

// The child of fork(), on its way to be the host: only calls that are safe
// between fork and exec in a program with threads. It dies with the game's
// main thread, which started it, and holds none of its descriptors (the
// single-instance lock and the X connection above all) but the socket.
void leaveGame(int socket, pid_t game) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != game) _exit(1);
  if (socket == host::kSocket ? fcntl(socket, F_SETFD, 0) : dup2(socket, host::kSocket) < 0)
    _exit(1);
  if (close_range(host::kSocket + 1, ~0U, 0) != 0)
    for (int fd = host::kSocket + 1; fd < 4096; ++fd) close(fd);
  // The game blocks its quit signals for its watcher thread; the host does not.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void becomeHost(int socket, pid_t game, char* const* argv) {
  leaveGame(socket, game);
  // The program itself, as it is running even if its file was replaced since.
  execv("/proc/self/exe", argv);
  _exit(127);
}

// The host started by startSoundHost, until a device takes it.
struct {
  int socket = -1;
  pid_t pid = -1;
} early;

}  // namespace

void mixSound(std::int16_t* stereo, const std::int16_t* sound, int channels, std::size_t frames) {
  for (std::size_t i = 0; i < frames * kChannels; ++i) {
    const int sample = sound[channels == 1 ? i / kChannels : i];
    stereo[i] = static_cast<std::int16_t>(std::clamp(stereo[i] + sample, -32768, 32767));
  }
}

// The game's side of the host: its voices, the host's process and socket,
// shared by the system, its outputs and the link thread, so that it lives as
// long as any of them.
//
// The game's thread starts the host (so that the host dies with it) and
// sends it messages that never wait; the link thread, which makes no SDL
// call, reads the host's answers, rings the bells of sounds that ended, and
// kills a host that does not answer in time.
struct MixerDevice {
  explicit MixerDevice(std::chrono::milliseconds idle) : idleRelease(idle) {}
  ~MixerDevice() {
    if (wake >= 0) close(wake);
  }

  // A voice of its own for an output, whose bell rings when its sound ends.
  int takeVoice(base::Bell& ended) {
    std::lock_guard<std::mutex> hold(mutex);
    for (std::size_t i = 0; i < kMaxVoices; ++i) {
      if (voices[i].ended) continue;
      voices[i] = Voice{&ended};
      return static_cast<int>(i);
    }
    return -1;
  }

  void giveBack(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    voices[index(voice)] = Voice{};
  }

  // The voice starts at once, or is silent from the start when no host
  // takes it.
  void play(int voice, const Samples& sound) {
    std::unique_lock<std::mutex> hold(mutex);
    Voice& v = voices[index(voice)];
    ++v.serial;
    v.playing = true;
    v.silenced = false;
    if (sound.frames == 0) return v.stop(false);
    if (!startHost(hold)) return v.stop(true);
    Message m{Message::Play, static_cast<std::uint32_t>(voice), v.serial, sound.rate,
              sound.channels};
    m.frames = sound.frames;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    iovec io{&m, sizeof m};
    msghdr h{};
    h.msg_iov = &io;
    h.msg_iovlen = 1;
    h.msg_control = control;
    h.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&h);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &sound.fd, sizeof(int));
    // A host whose socket is full is not reading: the link thread ends it.
    if (sendmsg(socket, &h, MSG_DONTWAIT | MSG_NOSIGNAL) != sizeof m) return v.stop(true);
    if (unanswered++ == 0) waitingSince = Steady::now();
    nudge();
  }

  // Stops the voice at once; its bell rings if it was playing.
  void halt(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    Voice& v = voices[index(voice)];
    if (!v.playing) return;
    v.stop(false);
    const Message m{Message::Halt, static_cast<std::uint32_t>(voice), v.serial};
    if (socket >= 0) (void)send(socket, &m, sizeof m, MSG_DONTWAIT | MSG_NOSIGNAL);
  }

  // Whether the voice's sound is heard, or at least on its way to a host that
  // answers; when not, a wait for it lasts as long as the sound and no more.
  bool answering(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    return socket >= 0 && !voices[index(voice)].silenced &&
           !(unanswered > 0 && Steady::now() - waitingSince > kAnswerBound);
  }

  // Whether the voice's last sound was found not to be heard.
  bool silenced(int voice) {
    std::lock_guard<std::mutex> hold(mutex);
    return voices[index(voice)].silenced;
  }

  bool holdsCard() {
    std::lock_guard<std::mutex> hold(mutex);
    return cardHeld;
  }

  // Ends the host, waiting for it at most kShutdownBound.
  void end() {
    std::unique_lock<std::mutex> hold(mutex);
    if (!threadStarted) return;
    ending = true;
    nudge();
    changed.wait_for(hold, kShutdownBound + std::chrono::milliseconds(100),
                     [this] { return finished; });
  }

  std::weak_ptr<MixerDevice> weakSelf;

 private:
  struct Voice {
    base::Bell* ended = nullptr;  // while an output has the voice
    std::uint32_t serial = 0;     // of its last play, as the host knows it
    bool playing = false;
    bool silenced = false;  // its last sound is not heard

    void stop(bool silent) {
      silenced = silent;
      if (!playing) return;
      playing = false;
      if (ended) ended->ring();
    }
  };

  static std::size_t index(int voice) { return static_cast<std::size_t>(voice); }

  void nudge() {
    const std::uint64_t one = 1;
    if (wake >= 0) (void)!write(wake, &one, sizeof one);
  }

  // Says once on standard error why sounds are not heard.
  void tellFailure(const std::string& why) {
    if (toldFailure) return;
    std::fprintf(stderr, "yumble: no sound, playing silently: %s\n", why.c_str());
    toldFailure = true;
  }

  void tellStuck() {
    if (toldStuck) return;
    std::fputs("yumble: the sound server does not answer; sounds are silent until it does\n",
               stderr);
    toldStuck = true;
  }

  // With the lock held, on the game's thread: a host to play to, started now
  // if there is none; false, said once, where none can be had.
  bool startHost(std::unique_lock<std::mutex>&) {
    if (socket >= 0) return true;
    if (!startThread()) return false;
    if (early.socket >= 0 && idleRelease == kCardHold) {
      const int s = std::exchange(early.socket, -1);
      if (waitpid(early.pid, nullptr, WNOHANG) == 0) {  // still there
        socket = s;
        hostPid = early.pid;
        unanswered = 0;
        return true;
      }
      close(s);
    }
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
      tellFailure(std::string("cannot start the sound host: ") + std::strerror(errno));
      return false;
    }
    std::string idle = std::to_string(idleRelease.count());
    char name[] = "yumble", mark[sizeof host::kMark];
    std::memcpy(mark, host::kMark, sizeof mark);
    char* const argv[] = {name, mark, idle.data(), nullptr};
    const pid_t game = getpid();
    const pid_t child = fork();
    if (child == 0) becomeHost(pair[1], game, argv);
    close(pair[1]);
    if (child < 0) {
      close(pair[0]);
      tellFailure(std::string("cannot start the sound host: ") + std::strerror(errno));
      return false;
    }
    socket = pair[0];
    hostPid = child;
    unanswered = 0;
    return true;
  }

  // Made at the first sound; a thread that cannot be made leaves the game
  // silent. The thread holds the device too: should it be left waiting at
  // shutdown, what it touches stays.
  bool startThread() {
    if (threadStarted) return true;
    if (threadFailed) return false;
    try {
      wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      if (wake < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
      std::thread([this, keep = weakSelf.lock()] { link(); }).detach();
      threadStarted = true;
    } catch (const std::system_error& e) {
      tellFailure(std::string("cannot start the sound host's thread: ") + e.what());
      threadFailed = true;
    }
    return threadStarted;
  }

  // With the lock held, on the link thread: every message waiting; false once
  // the host has gone.
  bool receive(std::unique_lock<std::mutex>&) {
    for (;;) {
      Message m;
      const ssize_t n = recv(socket, &m, sizeof m, MSG_DONTWAIT);
      if (n < 0) return errno == EAGAIN || errno == EINTR;
      if (n != sizeof m) return false;
      if (m.kind == Message::Card) cardHeld = m.held != 0;
      if (m.kind == Message::Started || m.kind == Message::Failed) {
        if (unanswered > 0) --unanswered;
        waitingSince = Steady::now();
      }
      if (m.kind == Message::Failed)
        tellFailure(std::string(m.text, strnlen(m.text, sizeof m.text)));
      if (m.voice >= kMaxVoices) continue;
      Voice& v = voices[m.voice];
      if (v.serial != m.serial) continue;
      if (m.kind == Message::Ended) v.stop(false);
      if (m.kind == Message::Failed) v.stop(true);
    }
  }

  // With the lock held, on the link thread: the host ended, or is killed for
  // not answering; every voice it was playing goes silent.
  void dropHost(std::unique_lock<std::mutex>& hold, bool notAnswering) {
    const pid_t pid = hostPid;
    kill(pid, SIGKILL);
    close(socket);
    socket = -1;
    hostPid = -1;
    cardHeld = false;
    unanswered = 0;
    for (Voice& v : voices)
      if (v.playing) v.stop(true);
    hold.unlock();
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    hold.lock();
    if (notAnswering) tellStuck();
  }

  // The link thread: waits for the host's answers, or for a play to go
  // unanswered too long; at the end lets the host go.
  void link() {
    std::unique_lock<std::mutex> hold(mutex);
    while (!ending) {
      int timeout = -1;
      if (socket >= 0 && unanswered > 0) {
        const auto left = waitingSince + kAnswerBound - Steady::now();
        timeout = static_cast<int>(
            std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
      }
      pollfd p[2] = {{wake, POLLIN, 0}, {socket, POLLIN, 0}};
      const nfds_t count = socket >= 0 ? 2 : 1;
      hold.unlock();
      poll(p, count, timeout);
      std::uint64_t nudges;
      (void)!read(wake, &nudges, sizeof nudges);
      hold.lock();
      if (socket < 0 || ending) continue;
      if ((p[1].revents & (POLLIN | POLLHUP | POLLERR)) && !receive(hold)) {
        dropHost(hold, false);
      } else if (unanswered > 0 && Steady::now() - waitingSince > kAnswerBound) {
        dropHost(hold, true);
      }
    }
    if (socket >= 0) letHostGo(hold);
    finished = true;
    changed.notify_all();
  }

  // With the lock held, on the link thread: the host would end by itself
  // once its socket closes, without letting go of anything first, but it may
  // be held in SDL by the sound server: it is ended at once instead, and
  // waited for at most kShutdownBound.
  void letHostGo(std::unique_lock<std::mutex>& hold) {
    const pid_t pid = hostPid;
    kill(pid, SIGKILL);
    close(socket);
    socket = -1;
    hold.unlock();
    const auto due = Steady::now() + kShutdownBound;
    while (waitpid(pid, nullptr, WNOHANG) != pid && Steady::now() < due)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    hold.lock();
  }

  const std::chrono::milliseconds idleRelease;
  std::mutex mutex;  // all below, between the game's thread and the link thread
  std::condition_variable changed;
  std::array<Voice, kMaxVoices> voices{};
  int socket = -1;  // to the host, while there is one
  pid_t hostPid = -1;
  int wake = -1;  // nudges the link thread
  int unanswered = 0;
  Steady::time_point waitingSince;  // for the oldest unanswered play
  bool cardHeld = false;
  bool threadStarted = false, threadFailed = false;
  bool toldFailure = false, toldStuck = false;
  bool ending = false, finished = false;
};

namespace {

class MixerOutput : public media::AudioOutput {
 public:
  MixerOutput(base::Clock& clock, std::shared_ptr<MixerDevice> device)
      : clock_(clock), device_(std::move(device)), voice_(device_->takeVoice(ended_)) {}

  ~MixerOutput() override {
    close();
    if (voice_ >= 0) device_->giveBack(voice_);
  }

  bool open(const std::string& path) override {
    close();
    if (voice_ < 0) return false;
    sound_ = loadWave(path);
    return sound_ != nullptr;
  }

  bool play() override {
    if (!sound_) return false;
    device_->halt(voice_);
    ended_.reset();
    device_->play(voice_, *sound_);
    playing_ = true;
    startedAt_ = clock_.nowMs();
    return true;
  }

  void waitUntilDone() override {
    if (!sound_ || !playing_) return;
    // However the host behaves, a sound never holds the game for longer
    // than it lasts and a second; with no host that answers, for as long as
    // it lasts.
    const std::int64_t end = startedAt_ + sound_->lengthMs();
    const std::int64_t grace = device_->answering(voice_) ? 1000 : 0;
    const std::int64_t left = end + grace - clock_.nowMs();
    if (left > 0) clock_.blockUntil(ended_, left);
    // A sound found silent meanwhile rang early: its length still holds.
    if (!device_->silenced(voice_)) return;
    const std::int64_t rest = end - clock_.nowMs();
    if (rest > 0) clock_.block(rest);
  }

  void close() override {
    if (!sound_) return;
    device_->halt(voice_);
    sound_.reset();
    playing_ = false;
  }

 private:
  base::Clock& clock_;
  std::shared_ptr<MixerDevice> device_;
  base::Bell ended_;
  int voice_;
  std::unique_ptr<Samples> sound_;
  bool playing_ = false;
  std::int64_t startedAt_ = 0;
};

}  // namespace

MixerAudio::MixerAudio(base::Clock& clock, std::shared_ptr<MixerDevice> device)
    : clock_(clock), device_(std::move(device)) {}

MixerAudio::~MixerAudio() {
  device_->end();
}

void startSoundHost() {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return;
  std::fflush(nullptr);  // nothing written so far is written twice
  const pid_t game = getpid();
  const pid_t child = fork();
  if (child == 0) {
    leaveGame(pair[1], game);
    // As the game leaves it to the host it starts later (backend.cpp).
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
    _exit(host::run(host::kSocket, kCardHold));
  }
  close(pair[1]);
  if (child < 0) return static_cast<void>(close(pair[0]));
  early.socket = pair[0];
  early.pid = child;
}

std::unique_ptr<MixerAudio> MixerAudio::open(base::Clock& clock,
                                             std::chrono::milliseconds idleRelease) {
  auto device = std::make_shared<MixerDevice>(idleRelease);
  device->weakSelf = device;
  return std::unique_ptr<MixerAudio>(new MixerAudio(clock, std::move(device)));
}

std::unique_ptr<media::AudioOutput> MixerAudio::newOutput() {
  return std::make_unique<MixerOutput>(clock_, device_);
}

bool MixerAudio::holdsCard() const {
  return device_->holdsCard();
}

}  // namespace sdl
