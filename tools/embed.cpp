// Writes a C++ source that holds files as byte arrays, one function per file:
//   embed OUT.cpp HEADER name=path [name=path ...]
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: embed OUT.cpp HEADER name=path...\n";
    return 2;
  }
  std::ofstream out(argv[1]);
  out << "// Made by tools/embed at build time.\n#include \"" << argv[2] << "\"\n\n"
      << "namespace media::art {\nnamespace {\n";
  std::vector<std::string> names;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto eq = arg.find('=');
    if (eq == std::string::npos) {
      std::cerr << "embed: expected name=path, got " << arg << "\n";
      return 2;
    }
    const std::string name = arg.substr(0, eq);
    std::ifstream in(arg.substr(eq + 1), std::ios::binary);
    if (!in) {
      std::cerr << "embed: cannot read " << arg.substr(eq + 1) << "\n";
      return 1;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    out << "const unsigned char k_" << name << "[] = {";
    for (std::size_t j = 0; j < bytes.size(); ++j)
      out << (j % 24 == 0 ? "\n" : "") << static_cast<int>(bytes[j]) << ",";
    out << "};\n";
    names.push_back(name);
  }
  out << "}  // namespace\n\n";
  for (const auto& n : names)
    out << "std::span<const std::uint8_t> " << n << "() { return {k_" << n << ", sizeof k_" << n
        << "}; }\n";
  out << "}  // namespace media::art\n";
  return out ? 0 : 1;
}
