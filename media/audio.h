#pragma once

#include <memory>
#include <string>

namespace media {

// One voice of the sound device: holds at most one open sound at a time.
// Every call is allowed to fail quietly; none of them throws.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Opens the wave file at path; false if it cannot be read or played.
  virtual bool open(const std::string& path) = 0;
  // Starts the open sound from its beginning; false if nothing is open.
  virtual bool play() = 0;
  // Holds the thread until the sound started by play() has finished.
  virtual void waitUntilDone() = 0;
  // Stops any sound at once and releases the open file.
  virtual void close() = 0;
};

class AudioSystem {
 public:
  virtual ~AudioSystem() = default;
  virtual std::unique_ptr<AudioOutput> newOutput() = 0;
};

}  // namespace media
