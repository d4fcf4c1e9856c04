#pragma once

#include <stdexcept>
#include <string>

namespace base {

// A failure of a handler's step, numbered and described the classic way so the
// error report reads the same as the player's parents may know it.
class Failure : public std::runtime_error {
 public:
  Failure(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kFileNotFound = 53;
inline constexpr int kInvalidPicture = 481;

inline Failure overflow() {
  return {kOverflow, "Overflow"};
}
inline Failure fileNotFound() {
  return {kFileNotFound, "File not found"};
}
inline Failure invalidPicture() {
  return {kInvalidPicture, "Invalid picture"};
}

}  // namespace base
