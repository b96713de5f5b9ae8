// Browse: a cancel changes nothing, and a vanished file drops the earlier image.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main_commands.h"
#include "app/resource_ids.h"
#include "core/update_controller.h"
#include "image/firmware_image.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"

namespace veltra {
namespace {

using BrowseTest = test::BenchTest;

TEST_F(BrowseTest, CancelChangesNothingAndAVanishedFileDropsTheEarlierImage) {
  // A selection made earlier, which a cancel keeps and a vanished file drops.
  UpdateSession update;
  ASSERT_NE(test::SelectFirmware(update, test::McuFileBytes()), nullptr);
  const std::shared_ptr<const ParsedImage> earlier = SelectedImage(update);
  shown_.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"C:\\fw\\earlier.img");
  dialog_.QueueOpenFile(std::nullopt);
  EXPECT_EQ(veltra::Browse(update, false), 2);
  EXPECT_EQ(SelectedImage(update), earlier);
  EXPECT_EQ(shown_.Item(IDC_EDIT_FIRMWARE_PATH).text, L"C:\\fw\\earlier.img");
  EXPECT_TRUE(dialog_.MessageBoxes().empty());
  ASSERT_EQ(dialog_.FileRequests().size(), 1u);
  EXPECT_FALSE(dialog_.FileRequests()[0].binFirst);  // *.IMG first outside the NXP route
  EXPECT_EQ(dialog_.FileRequests()[0].flags, 0x1808u);

  const std::wstring path = test::WindowsPath(test::TestTempDir() + "/gone.img");
  dialog_.QueueOpenFile(path);
  EXPECT_EQ(veltra::Browse(update, false), 0);
  const auto boxes = dialog_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"Check File Path!");
  EXPECT_EQ(boxes[0].caption, L"Error");
  EXPECT_EQ(boxes[0].style, 0x30u);
  EXPECT_EQ(SelectedImage(update), nullptr);
  EXPECT_EQ(update.bCombinedImage, 0);
}

}  // namespace
}  // namespace veltra
