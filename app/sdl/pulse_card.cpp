#include "app/sdl/pulse_card.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

#include "app/sdl/sound_host.h"

namespace sdl::host {
namespace {

// The server's buffer for the stream, and how much of it it asks for at a
// time. The sink keeps kBufferMs - 2 * kAskMs (kSinkMs) of what it has taken
// from the stream, and that, not the buffer, is the most a new sound waits:
// it is written over the buffered samples from where the sink takes its next
// ones. Put earlier, behind what the sink has taken, only a rewind of the
// sink could play it, and on a null sink the start of such a sound was lost,
// up to 45 ms of it. What the server spends is its wake-ups: the sink's,
// every kSinkMs (per letter at 3840x2160, bench/play_cpu.sh: 10.0 ms at 20,
// 7.5 at 40, 3.7 at 100, with a 200-ms buffer), and each request for samples,
// which wakes both of its threads and this one. A deep buffer asked for
// rarely costs nothing else: a second's worth, asked for every half second
// instead of 200 ms every 85, took the server from 93 wake-ups a second in a
// session to 67 (and asking its clock only after writes, to 51).
constexpr int kBufferMs = 1000;
constexpr int kSinkMs = 30;
constexpr int kAskMs = (kBufferMs - kSinkMs) / 2;
// A server that answers asks twice within the bound after which a card
// not asked is taken again.
static_assert(2 * kAskMs < kStallBoundMs);
constexpr std::size_t kFrameBytes = kChannels * sizeof(std::int16_t);

pa_sample_spec spec() {
  return {PA_SAMPLE_S16NE, kFrequency, kChannels};
}

std::int64_t frames(pa_usec_t usec) {
  return static_cast<std::int64_t>(usec) * kFrequency / 1000000;
}

std::uint32_t bytes(int ms) {
  const pa_sample_spec s = spec();
  return static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(ms) * 1000, &s));
}

}  // namespace

PulseCard::~PulseCard() {
  if (!loop_) return;
  // The card's thread is woken and joined; it never waits on the server.
  pa_threaded_mainloop_stop(loop_);
  if (endTimer_) pa_threaded_mainloop_get_api(loop_)->time_free(endTimer_);
  if (stream_) {
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
    pa_stream_unref(stream_);
  }
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
}

bool PulseCard::open() {
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return false;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Yumble");
  if (!context_) return false;
  pa_context_set_state_callback(context_, contextChanged, this);
  return pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
         pa_threaded_mainloop_start(loop_) >= 0;
}

void PulseCard::lock() {
  pa_threaded_mainloop_lock(loop_);
}

void PulseCard::unlock() {
  pa_threaded_mainloop_unlock(loop_);
}

void PulseCard::contextChanged(pa_context* context, void* self) {
  auto* card = static_cast<PulseCard*>(self);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      return card->makeStream();
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      card->lost_ = true;
      return;
    default:
      return;
  }
}

void PulseCard::makeStream() {
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "game");
  const pa_sample_spec s = spec();
  stream_ = pa_stream_new_with_proplist(context_, "Yumble", &s, nullptr, props);
  pa_proplist_free(props);
  if (!stream_) return static_cast<void>(lost_ = true);
  pa_stream_set_state_callback(stream_, streamChanged, this);
  pa_stream_set_write_callback(stream_, writable, this);
  pa_stream_set_latency_update_callback(stream_, timingKnown, this);
  pa_buffer_attr attr{};
  attr.maxlength = attr.prebuf = attr.fragsize = static_cast<std::uint32_t>(-1);
  attr.tlength = bytes(kBufferMs);
  attr.minreq = bytes(kAskMs);
  if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_INTERPOLATE_TIMING, nullptr,
                                 nullptr) < 0)
    lost_ = true;
}

void PulseCard::streamChanged(pa_stream* stream, void* self) {
  auto* card = static_cast<PulseCard*>(self);
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
      card->taken_ = true;
      return card->askTiming();
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      card->lost_ = true;
      return;
    default:
      return;
  }
}

void PulseCard::writable(pa_stream*, std::size_t length, void* self) {
  auto* card = static_cast<PulseCard*>(self);
  card->feed_.asked();
  // Sounds played before the stream was ready start with it.
  card->feed_.place(card->written_);
  card->write(card->written_, length / kFrameBytes, false);
  card->watchEnds();
}

std::int64_t PulseCard::playing() {
  pa_usec_t played = 0;
  if (!taken_ || pa_stream_get_time(stream_, &played) < 0) return written_;
  return frames(played);
}

std::int64_t PulseCard::taking() {
  const pa_timing_info* t = taken_ ? pa_stream_get_timing_info(stream_) : nullptr;
  if (!t) return written_;
  return std::min(written_, playing() + frames(t->sink_usec));
}

void PulseCard::startSounds() {
  if (!taken_) return;
  const std::int64_t at = taking();
  if (feed_.place(at)) rewrite(at);
}

void PulseCard::rewriteNow() {
  if (taken_) rewrite(taking());
}

void PulseCard::rewrite(std::int64_t from) {
  if (from >= written_) return;
  write(from, static_cast<std::size_t>(written_ - from), true);
  watchEnds();
}

void PulseCard::write(std::int64_t from, std::size_t frames, bool fromTaken) {
  if (frames == 0) return;
  buffer_.resize(frames * kChannels);
  feed_.mixAt(buffer_.data(), from, frames);
  // Over what the server holds, from where the sink takes its next samples,
  // which only the server knows: `from` is where this host thinks that is,
  // and the stream's frames are counted again once the server has said
  // where they went (timingKnown).
  if (pa_stream_write(stream_, buffer_.data(), frames * kFrameBytes, nullptr, 0,
                      fromTaken ? PA_SEEK_RELATIVE_ON_READ : PA_SEEK_RELATIVE) < 0)
    return;
  if (fromTaken) recount_ = true;
  written_ = std::max(written_, from + static_cast<std::int64_t>(frames));
  askTiming();
}

// The server's clock for the stream, asked after each write: the position of
// a sound placed from the sink's read index, and the stream's time between
// requests, interpolated. libpulse's own timer would ask again 10, 20, 40...
// ms after every write, a dozen round trips a second through both of the
// server's threads.
void PulseCard::askTiming() {
  if (pa_operation* o = pa_stream_update_timing_info(stream_, nullptr, nullptr))
    pa_operation_unref(o);
}

void PulseCard::timingKnown(pa_stream* stream, void* self) {
  auto* card = static_cast<PulseCard*>(self);
  const pa_timing_info* t = pa_stream_get_timing_info(stream);
  if (!card->recount_ || !t || t->write_index_corrupt) return;
  card->recount_ = false;
  const std::int64_t off = t->write_index / static_cast<std::int64_t>(kFrameBytes) - card->written_;
  if (off == 0) return;
  card->written_ += off;
  card->feed_.shift(off);
  card->watchEnds();
}

void PulseCard::timeUp(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
  static_cast<PulseCard*>(self)->watchEnds();
}

void PulseCard::watchEnds() {
  pa_usec_t played = 0;
  pa_usec_t wait = 10000;  // until the server's time for the stream is known
  if (taken_ && pa_stream_get_time(stream_, &played) >= 0) {
    const std::int64_t frame = frames(played);
    const std::int64_t next = feed_.heard(frame);
    if (next < 0) {
      if (endTimer_) pa_context_rttime_restart(context_, endTimer_, PA_USEC_INVALID);
      return;
    }
    // A millisecond late rather than early, which would look again for nothing.
    wait = static_cast<pa_usec_t>((next - frame) * 1000000 / kFrequency) + 1000;
  }
  const pa_usec_t at = pa_rtclock_now() + wait;
  if (endTimer_)
    pa_context_rttime_restart(context_, endTimer_, at);
  else
    endTimer_ = pa_context_rttime_new(context_, at, timeUp, this);
}

}  // namespace sdl::host
