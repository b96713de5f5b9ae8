// Only the application touches the dialog: a layer below it that called Dialog() or included the
// application's control IDs would decide how the program looks from inside the logic again, where
// the presenter cannot see it. The layers' CMake graph stops neither (the port and the headers are
// reachable from every layer), so the sources are read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace veltra {
namespace {

namespace fs = std::filesystem;

TEST(ControlsOwnerTest, NoLayerBelowTheApplicationTouchesTheDialog) {
  const fs::path src = fs::path(VELTRA_SOURCE_ROOT) / "src";
  // What only src/app (and the Windows adapter of the dialog port) may write.
  const std::vector<std::string> forbidden = {"Dialog()", "#include \"app/"};
  std::vector<std::string> found;
  for (const char* layer : {"core", "image", "dfu", "loaders", "devices", "camera"}) {
    for (const auto& entry : fs::recursive_directory_iterator(src / layer)) {
      if (!entry.is_regular_file()) {
        continue;
      }
      std::ifstream in(entry.path());
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      for (const std::string& word : forbidden) {
        if (text.find(word) != std::string::npos) {
          found.push_back(fs::relative(entry.path(), src).string() + ": " + word);
        }
      }
    }
  }
  EXPECT_TRUE(found.empty()) << ::testing::PrintToString(found);
}

}  // namespace
}  // namespace veltra
