#pragma once

#include <string>

namespace media {

// The folder that holds the running program, with links resolved.
std::string programDirectory();

// The folder of the files the program reads: `installed` (a path relative to
// the program's folder) where that folder exists, as after an install that
// keeps them apart from the program; otherwise the program's folder itself,
// as in a build.
std::string dataDirectory(const std::string& programDir, const std::string& installed);

// The program's folder, one separator, and a fixed file name.
inline std::string assetPath(const std::string& dir, const std::string& name) {
  return dir + "/" + name;
}

}  // namespace media
