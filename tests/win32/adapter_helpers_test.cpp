// The part of the Windows adapters that runs without Windows: the agreement between the
// camera-library port, the library's C interface and the .def file from which the import library
// is made (a name missing from the .def only shows when the product is linked).
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace veltra {
namespace {

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
