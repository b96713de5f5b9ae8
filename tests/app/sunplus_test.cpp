// The Sunplus route of Mirel cameras through the virtual SunplusCamera.dll: the failures no whole
// update reaches.
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "app_fixture.h"

namespace veltra::test {
namespace {

// A Sunplus-based camera as far as the vendor library cares: present on the bus with its IDs.
class SunplusCameraStandIn : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return {0x7E51, 0xC181}; }
  bool HasVideoInterface() const override { return true; }
};

class SunplusTest : public AppTest {
 protected:
  void SetUp() override {
    camera_.Answer("IsMirel_DeviceAvail", 1);
    camera_.Answer("InitMirelExtensionUnit", 1);
  }
  void AddMirel() {
    mirel_ = std::make_shared<SunplusCameraStandIn>();
    bus_.Plug(mirel_);
    AddRecord(L"Veltra_Mirel", L"7E51", L"C181", bus_.CapturePath(mirel_.get()).c_str());
    Select(0);
    Browse(WriteFile("Veltra_Mirel.bin", 3000));
  }
  // Confirms an update and serves the download thread until it has told the user how it went.
  void UpdateAndFinish() {
    UpdateAndConfirm();
    ASSERT_TRUE(dialog_.PumpUntil([this] { return !dialog_.MessageBoxes().empty(); }));
    system_->JoinAllThreads();
  }

  std::shared_ptr<SunplusCameraStandIn> mirel_;
};

TEST_F(SunplusTest, MissingLibraryOrCameraIsReportedAndNoThreadStarts) {
  AddMirel();
  vendor_.SetInstalled(false);
  UpdateAndConfirm();
  EXPECT_EQ(system_->RunningThreads(), 0);
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0].rfind(L"SunplusCamera.dll could not be loaded.", 0), 0u);
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Error");
  EXPECT_EQ(dialog_.MessageBoxes()[0].style, kMbIconError);

  // Installed, but the camera is not on the bus any more: the library is let go again.
  vendor_.SetInstalled(true);
  bus_.Unplug(mirel_.get());
  UpdateAndConfirm();
  EXPECT_EQ(vendor_.OpenLibraries(), 0);
  ASSERT_EQ(BoxTexts().size(), 2u);
  EXPECT_EQ(BoxTexts()[1].rfind(L"SunplusCamera.dll found no camera to update.", 0), 0u);
  EXPECT_TRUE(vendor_.LastDownload().image.empty());
}

TEST_F(SunplusTest, DownloadFailureResetsTheControlsAndTellsTheUser) {
  AddMirel();
  vendor_.FailDownloadAt(4);
  UpdateAndFinish();
  EXPECT_EQ(vendor_.LastDownload().callbackResults.size(), 4u);
  EXPECT_EQ(Text(IDC_EDIT_FIRMWARE_PATH), L"");
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(Visible(IDC_PROGRESS_BAR));
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware Download Failed!"});
}

}  // namespace
}  // namespace veltra::test
