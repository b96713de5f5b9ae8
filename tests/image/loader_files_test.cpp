// The loader files beside the executable: both read into the one buffer, the NXP route armed only
// by a flash loader read whole, and nothing of a failed read left to be sent to a chip.
#include "image/loader_files.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <string>

#include "core/app_state.h"
#include "core/text.h"
#include "image_test_support.h"
#include "platform/ports.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using test::Bytes;
using test::PayloadContents;

class LoaderFilesTest : public test::BenchTest {
 protected:
  LoaderFilesTest() {
    // As start-up does: the executable's path and the index of its last backslash.
    system_->SetExecutableFolder(test::TestTempDir());
    Sys().GetModuleFileName(g_szExePath, kPathChars);
    g_exeDirLength = static_cast<int>(std::wcsrchr(g_szExePath, L'\\') - g_szExePath);
  }

  void ExpectCheckPathBoxes(std::size_t count) {
    const auto boxes = dialog_.MessageBoxes();
    ASSERT_EQ(boxes.size(), count);
    for (const auto& box : boxes) {
      EXPECT_EQ(box.text, L"Check File Path!");
      EXPECT_EQ(box.caption, L"Error");
      EXPECT_EQ(box.style, 0x30u);
    }
  }
  // Nothing a boot-loader download could send, and the NXP route not armed.
  void ExpectNothingLoaded() {
    EXPECT_EQ(g_loaderImage.data, nullptr);
    EXPECT_EQ(g_bNXPMode, 0);
    EXPECT_EQ(system_->NowMs(), 0u);
  }
};

TEST_F(LoaderFilesTest, BothLoadersAreReadOneAfterTheOtherAndOnlyTheFlashLoaderPauses) {
  const Bytes boot = test::Fx3BootImage({{0x40003000, test::PayloadBytes(4000)}}, 0x40003000);
  const Bytes flashLoader = test::PayloadBytes(86272, 9);
  test::WriteTempFile("bootloader.img", boot);
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", flashLoader);

  ASSERT_EQ(LoadFX3BootImage(), 1);
  EXPECT_EQ(PayloadContents(g_loaderImage), boot);
  EXPECT_EQ(g_bNXPMode, 0);
  EXPECT_EQ(system_->NowMs(), 0u);
  // The name goes behind the folder again, not behind the previous name.
  ASSERT_EQ(LoadNXPFlashLoader(), 1);
  EXPECT_EQ(PayloadContents(g_loaderImage), flashLoader);
  EXPECT_EQ(g_bNXPMode, 1);
  EXPECT_GE(system_->NowMs(), 5000u);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(LoaderFilesTest, MissingEmptyOrUnreadableLoaderLeavesNothingLoaded) {
  // The FX3 image must not stay behind to be sent to the NXP chip.
  const auto boot = test::WriteTempFile("bootloader.img", test::PayloadBytes(64));
  ASSERT_EQ(LoadFX3BootImage(), 1);
  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  ExpectCheckPathBoxes(1);
  ExpectNothingLoaded();

  std::filesystem::remove(boot.hostPath);
  EXPECT_EQ(LoadFX3BootImage(), 0);
  ExpectCheckPathBoxes(2);

  // An empty file, or one whose buffer cannot be had, is refused without a box.
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", Bytes());
  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", test::PayloadBytes(2048));
  test::FailAllocation(1);
  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  ExpectCheckPathBoxes(2);
  ExpectNothingLoaded();
}

TEST_F(LoaderFilesTest, NameThatDoesNotFitBehindTheFolderIsNotTried) {
  // A folder of 250 characters leaves no room for the flash loader's name.
  std::wstring longDir = L"C:\\" + std::wstring(246, L'd') + L"\\";
  CopyText(g_szExePath, (longDir + L"x.exe").c_str());
  g_exeDirLength = static_cast<int>(longDir.size()) - 1;

  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  ExpectCheckPathBoxes(1);
  EXPECT_EQ(std::wcslen(g_szExePath), longDir.size());
  EXPECT_EQ(g_bNXPMode, 0);
}

}  // namespace
}  // namespace veltra
