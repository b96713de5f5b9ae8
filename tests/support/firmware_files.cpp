#include "support/firmware_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace veltra::test {

namespace {
const Version kTestVersion{1, 2, 3, 4};

std::string CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name =
      info == nullptr ? "no_test" : std::string(info->test_suite_name()) + "." + info->name();
  for (auto& c : name) {
    if (c == '/' || c == '\\') {
      c = '_';
    }
  }
  return name;
}
}  // namespace

std::shared_ptr<const ParsedImage> SelectFirmware(UpdateSession& update, const Bytes& file) {
  ParseResult parsed = ParseFirmwareBytes(file.empty() ? nullptr : file.data(),
                                          static_cast<std::uint32_t>(file.size()));
  std::shared_ptr<const ParsedImage> image;
  if (parsed.image) {
    image = std::make_shared<const ParsedImage>(std::move(*parsed.image));
  }
  SelectImage(update, image);
  return image;
}

Bytes PayloadBytes(std::size_t length, std::uint32_t seed) {
  return fwgen::Filler(length, seed);
}

Bytes McuText(std::size_t lineCount, std::size_t lineLength, std::uint32_t seed) {
  return fwgen::McuLines(lineCount, lineLength, seed);
}

Bytes FpgaFileBytes(std::size_t bitstreamLength, std::size_t imageLength) {
  return FpgaFile(fwgen::StampedPayload(bitstreamLength, kTestVersion, 1),
                  fwgen::StampedPayload(imageLength, kTestVersion, 2));
}

Bytes McuFileBytes(std::size_t lineCount, std::size_t lineLength, std::size_t imageLength) {
  return McuFile(McuText(lineCount, lineLength, 3),
                 fwgen::StampedPayload(imageLength, kTestVersion, 4));
}

Bytes CombinedFileBytes(std::uint8_t imageType, std::size_t firstLength, std::size_t secondLength) {
  return CombinedFile(imageType, fwgen::StampedPayload(firstLength, kTestVersion, 5),
                      fwgen::StampedPayload(secondLength, kTestVersion, 6));
}

std::string TestTempDir() {
  namespace fs = std::filesystem;
  static std::string preparedFor;
  const fs::path dir = fs::temp_directory_path() / ("veltra-tests-" + std::to_string(::getpid())) /
                       CurrentTestName();
  if (preparedFor != dir.string()) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
    preparedFor = dir.string();
  }
  return dir.string();
}

TempFile WriteTempFile(const std::string& name, const Bytes& bytes) {
  TempFile file;
  file.hostPath = TestTempDir() + "/" + name;
  std::FILE* out = std::fopen(file.hostPath.c_str(), "wb");
  EXPECT_NE(out, nullptr) << file.hostPath;
  if (out != nullptr) {
    if (!bytes.empty()) {
      EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    }
    std::fclose(out);
  }
  file.path = WindowsPath(file.hostPath);
  return file;
}

std::wstring WindowsPath(const std::string& hostPath) {
  std::wstring path(hostPath.begin(), hostPath.end());
  for (auto& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

Bytes FileSection(const Bytes& file, const char* marker, std::size_t gap, int occurrence) {
  const std::size_t markerLength = std::strlen(marker);
  for (std::size_t i = 0; i + markerLength + gap + 4 <= file.size(); ++i) {
    if (std::memcmp(file.data() + i, marker, markerLength) != 0) {
      continue;
    }
    if (occurrence-- > 0) {
      continue;
    }
    const std::size_t at = i + markerLength + gap;
    const std::uint32_t length = file[at] | (file[at + 1] << 8) | (file[at + 2] << 16) |
                                 (static_cast<std::uint32_t>(file[at + 3]) << 24);
    if (at + 4 + length > file.size()) {
      break;
    }
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                 file.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
  }
  ADD_FAILURE() << "no section " << marker;
  return {};
}

}  // namespace veltra::test
