// The parts of the Windows adapters that run without Windows: the text helpers, and the agreement
// between the camera-library port, the library's C interface and the .def file from which the
// import library is made (a name missing from the .def only shows when the product is linked).
#include "platform/win32/adapter_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace veltra {
namespace {

TEST(AdapterHelpers, WidenModeCopiesShortAsciiModesAndRefusesTheRest) {
  struct Row {
    const char* mode;
    std::size_t capacity;
    bool ok;
    const wchar_t* expected;
  };
  const Row rows[] = {
      {"r+b", 4, true, L"r+b"},  // exactly fits with the terminator
      {"r+b", 3, false, L""},    // one character short
      {"", 9, false, L""},       // an empty mode opens nothing
      {nullptr, 9, false, L""},
      {"rbrbrbrbr", 16, false, L""},  // longer than any stdio mode the program uses
      {"r\xC3\xA9", 9, false, L""},   // not ASCII
  };
  for (const Row& row : rows) {
    wchar_t out[16];
    out[0] = L'x';
    EXPECT_EQ(WidenMode(row.mode, out, row.capacity), row.ok) << (row.mode ? row.mode : "null");
    EXPECT_STREQ(out, row.expected) << (row.mode ? row.mode : "null");
  }
  EXPECT_FALSE(WidenMode("rb", nullptr, 9));
}

TEST(AdapterHelpers, FinishModulePathAlwaysTerminatesInsideTheBuffer) {
  // What GetModuleFileNameW may leave: the full path, a cut path without terminator (Windows
  // XP), or nothing.
  wchar_t buffer[8];
  const auto fill = [&buffer](const wchar_t* text) {
    for (std::size_t i = 0; i < 8; ++i) {
      buffer[i] = text[i];
    }
  };

  fill(L"C:\\a.exe");  // 8 characters, no room for the terminator
  EXPECT_EQ(FinishModulePath(buffer, 8, 8), 7u);
  EXPECT_STREQ(buffer, L"C:\\a.ex");

  fill(L"C:\\b.exZZ");  // a path that fitted, followed by leftovers
  buffer[7] = L'Z';
  EXPECT_EQ(FinishModulePath(buffer, 8, 5), 5u);
  EXPECT_STREQ(buffer, L"C:\\b.");

  fill(L"garbage!");
  EXPECT_EQ(FinishModulePath(buffer, 8, 0), 0u);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(FinishModulePath(buffer, 1, 5), 0u);
  EXPECT_EQ(buffer[0], L'\0');
  EXPECT_EQ(FinishModulePath(nullptr, 8, 5), 0u);
}

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(VELTRA_SOURCE_ROOT) + "/" + relative);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The identifier that follows each occurrence of the marker (after blanks).
std::set<std::string> NamesAfter(const std::string& text, const std::string& marker) {
  std::set<std::string> names;
  for (std::size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + marker.size())) {
    std::size_t begin = at + marker.size();
    while (begin < text.size() && (text[begin] == ' ' || text[begin] == '\t')) {
      ++begin;
    }
    std::size_t end = begin;
    while (end < text.size() && IsNameChar(text[end])) {
      ++end;
    }
    if (end > begin) {
      names.insert(text.substr(begin, end - begin));
    }
  }
  return names;
}

TEST(CameraLibraryBinding, PortCInterfaceAndDefFileNameTheSameOperations) {
  const std::string port = ReadSource("src/platform/camera_library.h");
  const std::string api = ReadSource("src/platform/win32/orlo_fwsw_api.h");
  const std::string def = ReadSource("src/platform/win32/OrloFWSW.def");
  ASSERT_FALSE(port.empty());
  ASSERT_FALSE(api.empty());
  ASSERT_FALSE(def.empty());

  const auto operations = NamesAfter(port, "virtual std::int32_t");
  const auto exports = NamesAfter(api, "std::int32_t __cdecl");
  const std::size_t section = def.find("EXPORTS");
  ASSERT_NE(section, std::string::npos);
  const auto defined = NamesAfter(def.substr(section), "\n ");

  EXPECT_GE(operations.size(), 27u);
  EXPECT_EQ(exports, operations);
  EXPECT_EQ(defined, operations);
  EXPECT_NE(def.find("LIBRARY OrloFWSW.dll"), std::string::npos);
}

}  // namespace
}  // namespace veltra
