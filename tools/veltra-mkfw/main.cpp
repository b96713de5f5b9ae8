// veltra-mkfw: writes example firmware files of every kind and the two loader files into a
// folder, for the bench, the demo and manual tries of the updater. The content is ours (see
// fwgen.h for the version stamp); none of it is real firmware.
//
//   veltra-mkfw <folder> [--version a.b.c.d]
//
// The files written are listed with fwgen::ExampleFiles.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "veltra-mkfw/fwgen.h"

namespace {

using veltra::fwgen::Bytes;
using veltra::fwgen::Version;
namespace fw = veltra::fwgen;

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int Usage() {
  std::fprintf(stderr, "usage: veltra-mkfw <folder> [--version a.b.c.d]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    return Usage();
  }
  Version version;
  version.major = 2;
  version.minor = 1;
  version.build = 7;
  version.revision = 3;
  if (argc == 4) {
    if (std::strcmp(argv[2], "--version") != 0 || !fw::ParseVersion(argv[3], &version)) {
      return Usage();
    }
  }
  std::string folder = argv[1];
  if (!folder.empty() && folder.back() != '/') {
    folder += '/';
  }
  for (const auto& file : fw::ExampleFiles(version)) {
    const std::string path = folder + file.name;
    if (!WriteFile(path, file.bytes)) {
      std::fprintf(stderr, "veltra-mkfw: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s  %zu bytes  version %s\n", path.c_str(), file.bytes.size(),
                fw::ToString(version).c_str());
  }
  return 0;
}
