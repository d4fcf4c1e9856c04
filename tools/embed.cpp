// Writes a C++ source that holds files as byte arrays, one function per file,
// and everything() for all of them together:
//   embed OUT.cpp HEADER name=path [name=path ...]
// The files lie end to end in one array in the section .lrodata, which the
// linker puts in a segment of its own on x86-64: the rest of the program's
// constants then never share a mapping with them.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: embed OUT.cpp HEADER name=path...\n";
    return 2;
  }
  std::ofstream out(argv[1]);
  out << "// Made by tools/embed at build time.\n#include \"" << argv[2] << "\"\n\n"
      << "namespace media::art {\nnamespace {\n"
      << "__attribute__((section(\".lrodata\"))) const unsigned char kAll[] = {";
  std::vector<std::pair<std::string, std::size_t>> files;  // name, size
  std::size_t at = 0;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto eq = arg.find('=');
    if (eq == std::string::npos) {
      std::cerr << "embed: expected name=path, got " << arg << "\n";
      return 2;
    }
    std::ifstream in(arg.substr(eq + 1), std::ios::binary);
    if (!in) {
      std::cerr << "embed: cannot read " << arg.substr(eq + 1) << "\n";
      return 1;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    for (const unsigned char b : bytes)
      out << (at++ % 24 == 0 ? "\n" : "") << static_cast<int>(b) << ",";
    files.emplace_back(arg.substr(0, eq), bytes.size());
  }
  out << "};\n}  // namespace\n\n";
  at = 0;
  for (const auto& [name, size] : files) {
    out << "std::span<const std::uint8_t> " << name << "() { return {kAll + " << at << ", " << size
        << "}; }\n";
    at += size;
  }
  out << "std::span<const std::uint8_t> everything() { return {kAll, sizeof kAll}; }\n"
      << "}  // namespace media::art\n";
  return out ? 0 : 1;
}
