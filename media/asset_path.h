#pragma once

#include <string>

namespace media {

// The folder that holds the running program, with links resolved.
std::string programDirectory();

// The program's folder, one separator, and a fixed file name.
inline std::string assetPath(const std::string& dir, const std::string& name) {
  return dir + "/" + name;
}

}  // namespace media
