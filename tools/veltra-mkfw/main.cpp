// veltra-mkfw: writes example firmware files of every kind and the two loader files into a
// folder, for the bench, the demo and manual tries of the updater. The content is ours (see
// fwgen.h for the version stamp); none of it is real firmware.
//
//   veltra-mkfw FOLDER [--version a.b.c.d]
//
// The folder is created when it does not exist. The files written are listed with
// fwgen::ExampleFiles. Exit status: 0 written, 1 a file could not be written, 2 a bad command line
// or a folder that cannot be made.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "veltra-mkfw/fwgen.h"

namespace {

using veltra::fwgen::Bytes;
using veltra::fwgen::Version;
namespace fw = veltra::fwgen;

constexpr int kExitWritten = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;

bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

int Run(int argc, char** argv) {
  CLI::App app{
      "Writes example firmware files of every kind and the two loader files (FX3 boot\n"
      "image, NXP flash loader) into FOLDER, every payload stamped with the version.",
      "veltra-mkfw"};
  std::string folder;
  std::string versionText = "2.1.7.3";
  app.add_option("FOLDER", folder, "where the files go (created when missing)")->required();
  app.add_option("--version", versionText,
                 "the version stamped into every payload, a.b.c.d "
                 "(major, minor 0-255; build, revision 0-65535)")
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr,
                 "veltra-mkfw: %s\nusage: veltra-mkfw FOLDER [--version a.b.c.d] (--help)\n",
                 error.what());
    return kExitUsage;
  }
  Version version;
  if (!fw::ParseVersion(versionText, &version)) {
    std::fprintf(stderr,
                 "veltra-mkfw: --version '%s' is not a.b.c.d with major and minor 0-255, build "
                 "and revision 0-65535\n",
                 versionText.c_str());
    return kExitUsage;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) {
    std::fprintf(stderr, "veltra-mkfw: cannot create the folder %s%s%s\n", folder.c_str(),
                 error ? ": " : "", error ? error.message().c_str() : "");
    return kExitUsage;
  }
  for (const auto& file : fw::ExampleFiles(version)) {
    const std::string path = (std::filesystem::path(folder) / file.name).string();
    if (!WriteFile(path, file.bytes)) {
      std::fprintf(stderr, "veltra-mkfw: cannot write %s\n", path.c_str());
      return kExitWriteFailed;
    }
    std::printf("%s  %zu bytes  version %s\n", path.c_str(), file.bytes.size(),
                fw::ToString(version).c_str());
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "veltra-mkfw: %s\n", error.what());
    return kExitUsage;
  }
}
