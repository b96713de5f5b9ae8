#include "image/loader_files.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <string>

#include "app/app_state.h"
#include "app/text.h"
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
    exeDir_ = std::wstring(g_szExePath, g_exeDirLength + 1);
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

  std::wstring exeDir_;  // with its trailing backslash
};

TEST_F(LoaderFilesTest, LoadersAreReadWholeFromTheExecutableFolder) {
  const Bytes boot = test::Fx3BootImage({{0x40003000, test::PayloadBytes(4000)}}, 0x40003000);
  const Bytes flashLoader = test::PayloadBytes(86272, 9);
  test::WriteTempFile("bootloader.img", boot);
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", flashLoader);

  ASSERT_EQ(LoadFX3BootImage(), 1);
  EXPECT_EQ(PayloadContents(g_loaderImage), boot);
  EXPECT_EQ(std::wstring(g_szExePath), exeDir_ + L"bootloader.img");
  EXPECT_EQ(g_bNXPMode, 0);
  EXPECT_EQ(system_->NowMs(), 0u);

  // The path is built again in the same buffer: cut after the folder, not appended to the last.
  ASSERT_EQ(LoadNXPFlashLoader(), 1);
  EXPECT_EQ(PayloadContents(g_loaderImage), flashLoader);
  EXPECT_EQ(std::wstring(g_szExePath), exeDir_ + L"RT1060_Flashloader_nopadding.bin");
  EXPECT_EQ(g_bNXPMode, 1);
  EXPECT_GE(system_->NowMs(), 5000u);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
}

TEST_F(LoaderFilesTest, MissingLoaderAsksToCheckThePathAndHoldsNothing) {
  const auto boot = test::WriteTempFile("bootloader.img", test::PayloadBytes(64));
  ASSERT_EQ(LoadFX3BootImage(), 1);

  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  ExpectCheckPathBoxes(1);
  EXPECT_EQ(g_bNXPMode, 0);
  EXPECT_EQ(system_->NowMs(), 0u);
  // The FX3 image must not stay behind to be sent to the NXP chip.
  EXPECT_EQ(g_loaderImage.data, nullptr);

  std::filesystem::remove(boot.hostPath);
  EXPECT_EQ(LoadFX3BootImage(), 0);
  ExpectCheckPathBoxes(2);
}

TEST_F(LoaderFilesTest, EmptyOrUnreadableLoaderIsRefusedWithoutArmingTheNxpRoute) {
  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", Bytes());
  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  EXPECT_EQ(system_->TraceLines().back(), L"Loader file is empty....\r\n");

  test::WriteTempFile("RT1060_Flashloader_nopadding.bin", test::PayloadBytes(2048));
  test::FailAllocation(1);
  EXPECT_EQ(LoadNXPFlashLoader(), 0);
  EXPECT_EQ(system_->TraceLines().back(), L"Memory Allocation FAiled..\r\n");

  EXPECT_EQ(g_loaderImage.data, nullptr);
  EXPECT_EQ(g_bNXPMode, 0);
  EXPECT_EQ(system_->NowMs(), 0u);
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
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
