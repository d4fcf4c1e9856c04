#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
struct pa_mainloop_api;
struct timeval;

namespace sdl::host {

// What a card plays: the mix of any stretch of its stream, asked again for a
// stretch already written when a sound starts or stops, and told how far the
// server has played so that each sound's end is said when it is heard.
// Both are called on the card's thread with the card locked.
class CardFeed {
 public:
  // Stereo 16-bit frames [from, from + frames) of the stream.
  virtual void mixAt(std::int16_t* out, std::int64_t from, std::size_t frames) = 0;
  // The server has played the stream up to `frame`: the frame of the next
  // end still to be heard, or -1 for none.
  virtual std::int64_t heard(std::int64_t frame) = 0;
  // The server asked for samples: it answers.
  virtual void asked() = 0;
  // The sounds waiting to start start at `frame`: whether there were any.
  virtual bool place(std::int64_t frame) = 0;
  // The stream's frames were counted `frames` off: every sound moves by as many.
  virtual void shift(std::int64_t frames) = 0;

 protected:
  ~CardFeed() = default;
};

// A playback stream on PulseAudio, spoken to directly, with a deep buffer in
// the server, which asks for samples rarely rather than every few
// milliseconds. A sound does not wait behind that buffer: starting (or
// stopping) one writes the buffered samples again from where the server's
// sink takes its next ones.
// Nothing here waits on the server: connecting, and letting go, happen on
// the card's own thread, and a server that does not answer leaves the card
// merely unasked.
class PulseCard {
 public:
  explicit PulseCard(CardFeed& feed) : feed_(feed) {}
  ~PulseCard();
  PulseCard(const PulseCard&) = delete;
  PulseCard& operator=(const PulseCard&) = delete;

  // Starts connecting; false when libpulse cannot even try.
  bool open();
  // The server has gone, or refused the card.
  bool lost() const { return lost_; }
  // The stream was created: the server took the card.
  bool taken() const { return taken_; }

  // Held around what follows, and any change to what mixAt mixes.
  void lock();
  void unlock();
  // The sounds waiting start where the sink takes its next samples; before
  // the stream plays, at its start.
  void startSounds();
  // What mixAt gives is written again from there: a sound halted stops.
  void rewriteNow();

 private:
  static void contextChanged(pa_context*, void*);
  static void streamChanged(pa_stream*, void*);
  static void writable(pa_stream*, std::size_t, void*);
  static void timeUp(pa_mainloop_api*, pa_time_event*, const timeval*, void*);
  static void timingKnown(pa_stream*, void*);
  // The frame being played now, by the stream's interpolated time, and the
  // one the sink takes next; or the end of what is written, not yet known.
  std::int64_t playing();
  std::int64_t taking();
  void rewrite(std::int64_t from);
  void makeStream();
  void write(std::int64_t from, std::size_t frames, bool fromTaken);
  void askTiming();
  // Says the ends heard by now and waits for the next.
  void watchEnds();

  CardFeed& feed_;
  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* endTimer_ = nullptr;
  // taken_: the stream is ready, and stays so while the card lives.
  std::atomic<bool> lost_{false}, taken_{false};
  bool recount_ = false;      // written from the sink's place: frames to count again
  std::int64_t written_ = 0;  // frames of the stream written so far
  std::vector<std::int16_t> buffer_;
};

}  // namespace sdl::host
