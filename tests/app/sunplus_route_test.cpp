// The Sunplus route through the whole program: a Mirel camera written by the virtual
// SunplusCamera.dll. While the library writes, the dialog is in its updating state and the
// device-change handling leaves the camera alone; every start that does not happen is told.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "scenario_fixture.h"
#include "sim/cameras/mirel_camera.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

class SunplusRouteTest : public ScenarioTest {
 protected:
  void Update() {
    Browse(ExampleFile("nxp_firmware.bin", "Veltra_Mirel_firmware.bin"));
    UpdateAndConfirm();
  }
  int CameraLibraryCalls() const {
    return static_cast<int>(TrafficOf(traffic_.str(), "library").size());
  }

  std::shared_ptr<sim::MirelCamera> camera_ = Plug(std::make_shared<sim::MirelCamera>());
};

// The camera restarts on its new image while the library is still in its download: its removal
// and arrival reach the dialog then. The dialog stays in its updating state, no handler calls the
// camera library meanwhile, and the list is rebuilt once the download has ended.
TEST_F(SunplusRouteTest, LibraryWritesWithTheDialogUpdatingAndTheListIsRebuiltAfter) {
  StartProgram();
  struct Seen {
    bool reset = true, read = true, exit = true, update = true;
    int cameraLibraryCalls = -1;
  } seen;
  vendor_.SetImageReceiver(
      [&](sim::VirtualDevice& device, const std::uint8_t* image, std::size_t length) {
        seen.reset = Enabled(IDC_BTN_RESET);
        seen.read = Enabled(IDC_BTN_READFW_VERSION);
        seen.exit = Enabled(IDC_BTN_EXIT);
        seen.update = Enabled(IDC_BTN_FW_UPDATE);
        auto& mirel = static_cast<sim::MirelCamera&>(device);
        const bool received = mirel.ReceiveImage(image, length);
        const int before = CameraLibraryCalls();
        mirel.Reboot();
        clock_.Advance(5000);  // the camera leaves and is back; both notifications are handled
        seen.cameraLibraryCalls = CameraLibraryCalls() - before;
        return received;
      });
  Update();
  Settle();

  EXPECT_FALSE(seen.reset);
  EXPECT_FALSE(seen.read);
  EXPECT_FALSE(seen.exit);
  EXPECT_FALSE(seen.update);
  EXPECT_EQ(seen.cameraLibraryCalls, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_EQ(camera_->Image(), ExampleBytes("nxp_firmware.bin"));
  EXPECT_EQ(camera_->Version(), NewFirmware());
  ExpectReadyFor(L"Veltra_Mirel(VID_7e51,PID_C181_0)");
}

// Every start of the route that does not happen is told with its reason, and the camera keeps
// its firmware.
struct Refusal {
  const char* name;
  std::function<void(sim::SimVendorLibrary&)> arrange;
  std::wstring text;  // the whole message, or its start when it names the program's folder
};
void PrintTo(const Refusal& r, std::ostream* os) {
  *os << r.name;
}

const std::wstring kNothingWritten = L"Nothing was written to the camera.";

std::vector<Refusal> Refusals() {
  return {
      {"library_missing", [](sim::SimVendorLibrary& v) { v.SetInstalled(false); },
       L"SunplusCamera.dll could not be loaded. It was looked for in the program's folder ("},
      {"camera_not_found", [](sim::SimVendorLibrary& v) { v.RemoveEntryPoint("SunplusCam_Init"); },
       L"SunplusCamera.dll found no camera to update. " + kNothingWritten +
           L"\r\nPlease re-plug the camera and try again."},
      {"no_download_entry",
       [](sim::SimVendorLibrary& v) { v.RemoveEntryPoint("Download_FW_Verbose"); },
       L"SunplusCamera.dll has no Download_FW_Verbose: it cannot update the camera. " +
           kNothingWritten + L"\r\nPlease put the right SunplusCamera.dll next to the program."},
      {"flash_type_fails", [](sim::SimVendorLibrary& v) { v.SetFlashType(0, 1); },
       L"SunplusCamera.dll could not read the camera's flash type. " + kNothingWritten +
           L"\r\nPlease re-plug the camera and try again."},
      {"download_fails", [](sim::SimVendorLibrary& v) { v.FailDownloadAt(3); },
       L"Firmware Download Failed!"},
  };
}

class SunplusRefusalTest : public SunplusRouteTest,
                           public ::testing::WithParamInterface<Refusal> {};

TEST_P(SunplusRefusalTest, IsToldAndTheCameraKeepsItsFirmware) {
  const Refusal& r = GetParam();
  StartProgram();
  const sim::FirmwareVersion before = camera_->Version();
  r.arrange(vendor_);
  Update();
  Settle();

  const std::vector<std::wstring> boxes = BoxTexts();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].substr(0, r.text.size()), r.text);
  if (std::string(r.name) == "library_missing") {
    // The folders searched: the program's own, then the system's.
    EXPECT_NE(boxes[0].find(L"System32"), std::wstring::npos);
    EXPECT_NE(boxes[0].find(kNothingWritten), std::wstring::npos);
  }
  EXPECT_EQ(dialog_.MessageBoxes()[0].caption, L"Error");
  EXPECT_EQ(camera_->Version(), before);
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_TRUE(Enabled(IDC_BTN_BROWSE));
}

INSTANTIATE_TEST_SUITE_P(Cases, SunplusRefusalTest, ::testing::ValuesIn(Refusals()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veltra::test
