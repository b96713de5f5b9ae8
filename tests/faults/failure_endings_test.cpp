// How an update that went wrong ends, through the whole program with one camera on the desk: the
// message the user sees, what the camera holds afterwards, and that a new Browse and update (after
// a re-plug where the camera needs one) bring it the whole new firmware. Each case first runs a
// clean update of its route to count the camera's transfers, then looks for the transfer it is
// about: the fault goes on one transfer after the other until the traffic log shows it hit that
// one.
#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../app/scenario_fixture.h"
#include "app/resource_ids.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/flash_loader.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr wchar_t kMcuFailedText[] = L"MCU firmware update failed. Please retry again...!!";
constexpr wchar_t kDownloadFailedText[] = L"Firmware Download Failed!";

// One desk: a fresh program and bench, run inside a plain test (a clean run and a faulty run
// each get their own).
class Desk : public ScenarioTest {
 public:
  Desk() { hidInput_.SetLog(&log_); }
  void TestBody() override {}

  // Plugs the camera, starts the program, browses the file and updates with the fault set.
  void Update(const std::shared_ptr<sim::CameraDevice>& camera, const std::string& example,
              const std::string& fileName, sim::FaultPlan fault) {
    Plug(camera);
    StartProgram();
    path_ = ExampleFile(example, fileName);
    Browse(path_);
    camera->SetFault(fault);
    UpdateAndConfirm();
    Settle();
    boxes_ = BoxTexts();
  }
  // The second try: a re-plug when asked, then Browse and update again.
  void Retry(sim::CameraDevice& camera, bool replug) {
    camera.SetFault({});
    if (replug) {
      bus_.Replug(&camera);
      Settle();
    }
    dialog_.ClearRecords();
    Browse(path_);
    UpdateAndConfirm();
    Settle();
  }
  std::vector<std::wstring> FirstBoxes() const { return boxes_; }
  std::vector<std::wstring> Boxes() const { return BoxTexts(); }
  bool ExitEnabled() const { return Enabled(IDC_BTN_EXIT); }
  Bytes Example(const std::string& name) const { return ExampleBytes(name); }
  // The traffic log's lines of one device, in order.
  // The log lines of one device, of one kind of transfer when `op` is given.
  std::vector<std::string> Traffic(const std::string& dev, const std::string& op = "") const {
    std::istringstream lines(traffic_.str());
    std::vector<std::string> out;
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\"dev\":\"" + dev + "\"") != std::string::npos &&
          (op.empty() || line.find("\"op\":\"" + op + "\"") != std::string::npos)) {
        out.push_back(line);
      }
    }
    return out;
  }

 private:
  std::wstring path_;
  std::vector<std::wstring> boxes_;
};

bool Has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}

struct Case {
  const char* name;
  std::function<std::shared_ptr<sim::CameraDevice>()> make;
  const char* example;
  const char* fileName;
  sim::FaultKind kind;
  bool nearEnd;  // the transfer is looked for from the last one back
  // The traffic log shows the fault on the transfer the case is about.
  std::function<bool(const Desk&)> hit;
  std::vector<std::wstring> boxes;  // what the user is told
  // What the camera holds after the failure.
  std::function<void(Desk&, sim::CameraDevice&)> check;
  bool replug;  // the user re-plugs before the second try
  std::function<bool(Desk&, sim::CameraDevice&)> holdsNewImage;
  // Where the look starts, from the clean run's traffic (from the first or last transfer when
  // not given).
  std::function<int(const Desk& clean)> firstTry = {};
};

bool DfuHoldsNew(Desk&, sim::CameraDevice& device) {
  auto& camera = static_cast<sim::DfuModeCamera&>(device);
  return !camera.InUpdateMode() && camera.Version() == ScenarioTest::NewFirmware();
}

bool NxpHoldsNew(Desk& desk, sim::CameraDevice& device) {
  auto& camera = static_cast<sim::NxpCamera&>(device);
  const Bytes image = desk.Example("nxp_firmware.bin");
  return camera.CurrentMode() == sim::NxpCamera::Mode::kCamera &&
         camera.FlashBytes(sim::kFlashImageAddress, image.size()) == image;
}

// The zero-length request that ends a download (the download request as a vendor request).
bool IsEndOfDownload(const std::string& line) {
  return Has(line, "\"setup\":[64,1,") && Has(line, ",0],\"out\":\"\"");
}

// A lost report: delivered to no one (flag 0: a data report).
bool LostDataReport(const Desk& desk, const std::string& dev) {
  for (const std::string& line : desk.Traffic(dev)) {
    if (Has(line, "\"flag\":0,\"result\":0")) {
      return true;
    }
  }
  return false;
}

// The flash loader left a command unanswered (the first answer that did not come), and the last
// report before it began with these hex digits.
bool UnansweredAfter(const Desk& desk, const std::string& reportStart) {
  std::string lastOut;
  for (const std::string& line : desk.Traffic("7E51:DF02")) {
    if (Has(line, "\"op\":\"hid_out\"")) {
      lastOut = line;
    } else if (Has(line, "\"op\":\"hid_in\"") && Has(line, "\"result\":0")) {
      return Has(lastOut, "\"out\":\"" + reportStart);
    }
  }
  return false;
}

// The last report sent to the device was a data report that was not delivered.
void ExpectLastDataReportLost(const Desk& desk, const std::string& dev) {
  const auto lines = desk.Traffic(dev, "hid_out");
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(Has(lines.back(), "\"flag\":0,\"result\":0")) << lines.back().substr(0, 160);
}

std::vector<Case> Cases() {
  const auto generic = [] { return std::make_shared<sim::GenericCamera>(); };
  // The flash loader's answers can be read: the cases below are about them.
  const auto nxp = [] {
    auto camera = std::make_shared<sim::NxpCamera>();
    sim::Unknowns unknowns;
    unknowns.exclusiveLoaderHid = false;
    camera->SetUnknowns(unknowns);
    return camera;
  };
  return {
      // The zero-length request that ends the download is refused: the camera never manifests
      // the image, and the user is told as for a refused data request.
      {"end_of_download_refused",
       generic,
       "mcu.img",
       "Veltra_RX40M_mcu.img",
       sim::FaultKind::kTransferError,
       true,
       [](const Desk& desk) {
         for (const std::string& line : desk.Traffic("7E51:DF00")) {
           if (IsEndOfDownload(line) && Has(line, "\"error\"")) {
             return true;
           }
         }
         return false;
       },
       {kMcuFailedText},
       [](Desk& desk, sim::CameraDevice& device) {
         EXPECT_TRUE(static_cast<sim::DfuModeCamera&>(device).InUpdateMode());
         EXPECT_FALSE(DfuHoldsNew(desk, device));
       },
       false,
       DfuHoldsNew},
      // The status read that starts the manifest fails once: it is read again, the camera boots
      // the new firmware and the success is true.
      {"status_after_end_lost_once",
       generic,
       "mcu.img",
       "Veltra_RX40M_mcu.img",
       sim::FaultKind::kTransferError,
       true,
       [](const Desk& desk) {
         const auto lines = desk.Traffic("7E51:DF00");
         for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
           if (IsEndOfDownload(lines[i]) && !Has(lines[i], "\"error\"") &&
               Has(lines[i + 1], "\"setup\":[192,3,") && Has(lines[i + 1], "\"error\"")) {
             return true;
           }
         }
         return false;
       },
       {kSuccessText},
       [](Desk& desk, sim::CameraDevice& device) { EXPECT_TRUE(DfuHoldsNew(desk, device)); },
       false,
       DfuHoldsNew},
      // A data report of the flash loader to the ROM is lost: nothing more goes to the ROM, it
      // does not jump, and the update ends with a message; the ROM is taken over again when the
      // re-plugged camera arrives.
      {"nxp_loader_report_lost",
       nxp,
       "nxp_firmware.bin",
       "Veltra_NX20.bin",
       sim::FaultKind::kTransferError,
       false,
       [](const Desk& desk) { return LostDataReport(desk, "1FC9:0135"); },
       {kDownloadFailedText},
       [](Desk& desk, sim::CameraDevice& device) {
         auto& camera = static_cast<sim::NxpCamera&>(device);
         EXPECT_EQ(camera.CurrentMode(), sim::NxpCamera::Mode::kRom);
         EXPECT_EQ(camera.Rom().JumpAddress(), 0u);
         ExpectLastDataReportLost(desk, "1FC9:0135");
         EXPECT_TRUE(desk.Traffic("7E51:DF02").empty());
       },
       true,
       NxpHoldsNew},
      // The last data report of the image is lost: nothing more goes to the flash loader, the
      // update fails, and the flash holds no bootable image: after the re-plug the camera comes
      // back in its ROM and the update is done again from there.
      {"nxp_image_report_lost",
       nxp,
       "nxp_firmware.bin",
       "Veltra_NX20.bin",
       sim::FaultKind::kTransferError,
       true,
       [](const Desk& desk) { return LostDataReport(desk, "7E51:DF02"); },
       {kDownloadFailedText},
       [](Desk& desk, sim::CameraDevice& device) {
         EXPECT_FALSE(NxpHoldsNew(desk, device));
         ExpectLastDataReportLost(desk, "7E51:DF02");
       },
       true,
       NxpHoldsNew},
      // A data report of the image is taken by the flash loader and dropped: the data phase never
      // ends, so WriteMemory's closing answer does not come and the update fails there, with
      // nothing more sent; the flash loader keeps running and the update is done from it again
      // without a re-plug.
      {"nxp_image_report_dropped",
       nxp,
       "nxp_firmware.bin",
       "Veltra_NX20.bin",
       sim::FaultKind::kErrorState,
       true,
       [](const Desk& desk) { return UnansweredAfter(desk, "0200"); },
       {kDownloadFailedText},
       [](Desk& desk, sim::CameraDevice& device) {
         EXPECT_FALSE(NxpHoldsNew(desk, device));
         EXPECT_EQ(static_cast<sim::NxpCamera&>(device).CurrentMode(),
                   sim::NxpCamera::Mode::kFlashLoader);
         EXPECT_FALSE(desk.Traffic("1FC9:0135", "hid_out").empty());
       },
       false,
       NxpHoldsNew},
      // The flash loader in its error state drops the first FillMemory (the flash's
      // configuration): no answer comes, the update fails at once with nothing erased, and the
      // camera still holds its old firmware; re-plugged, it starts that firmware and the update
      // is done from the beginning.
      {"nxp_flash_setup_dropped",
       nxp,
       "nxp_firmware.bin",
       "Veltra_NX20.bin",
       sim::FaultKind::kErrorState,
       false,
       [](const Desk& desk) { return UnansweredAfter(desk, "010010000500000300200000"); },
       {kDownloadFailedText},
       [](Desk& desk, sim::CameraDevice& device) {
         auto& camera = static_cast<sim::NxpCamera&>(device);
         EXPECT_EQ(camera.CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);
         EXPECT_EQ(camera.FlashBytes(sim::kFlexSpiBase, 4), (Bytes{'F', 'C', 'F', 'B'}));
         EXPECT_TRUE(camera.Version() == sim::NxpCamera().Version());
         const auto sent = desk.Traffic("7E51:DF02", "hid_out");
         ASSERT_FALSE(sent.empty());
         EXPECT_TRUE(Has(sent.back(), "\"out\":\"010010000500000300200000"));
       },
       true,
       NxpHoldsNew,
       // Past every report to the ROM, each one transfer of the camera's.
       [](const Desk& clean) {
         return static_cast<int>(clean.Traffic("1FC9:0135", "hid_out").size());
       }},
  };
}

TEST(FailureEndings, TheUserIsToldTheTruthAndTheSecondTryBringsTheFirmware) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    int transfers = 0;
    int first = 0;
    {
      Desk clean;
      auto camera = c.make();
      clean.Update(camera, c.example, c.fileName, {});
      ASSERT_EQ(clean.FirstBoxes(), std::vector<std::wstring>{kSuccessText});
      transfers = camera->TransferCount();
      first = c.firstTry ? c.firstTry(clean) : 0;
    }
    std::unique_ptr<Desk> desk;
    std::shared_ptr<sim::CameraDevice> camera;
    for (int k = first; k < transfers && desk == nullptr; ++k) {
      auto tried = std::make_unique<Desk>();
      camera = c.make();
      tried->Update(camera, c.example, c.fileName, {c.kind, c.nearEnd ? transfers - 1 - k : k});
      if (c.hit(*tried)) {
        desk = std::move(tried);
      }
    }
    ASSERT_NE(desk, nullptr) << "no transfer of the route is the one the case is about, of "
                             << transfers;
    EXPECT_EQ(desk->FirstBoxes(), c.boxes);
    EXPECT_TRUE(desk->ExitEnabled());
    c.check(*desk, *camera);

    desk->Retry(*camera, c.replug);
    EXPECT_EQ(desk->Boxes(), std::vector<std::wstring>{kSuccessText});
    EXPECT_TRUE(c.holdsNewImage(*desk, *camera));
  }
}

// The camera library holds the flash loader's HID device (the bench's default), so the image goes
// without the flash loader's answers. A command it drops goes unseen, and a camera that took
// nothing restarts into its old firmware, just as one that took the image restarts into the new:
// the update is never told as a success then, only as a write the camera could not confirm. Each
// report of the update is dropped in turn.
TEST(FailureEndings, AWriteWithoutTheFlashLoadersAnswersIsNeverToldAsASuccess) {
  int transfers = 0;
  {
    Desk clean;
    auto camera = std::make_shared<sim::NxpCamera>();
    clean.Update(camera, "nxp_firmware.bin", "Veltra_NX20.bin", {});
    ASSERT_EQ(clean.FirstBoxes(), std::vector<std::wstring>{kUnconfirmedText});
    ASSERT_TRUE(NxpHoldsNew(clean, *camera));
    transfers = camera->TransferCount();
  }
  int oldFirmwareBack = 0;
  for (int k = 0; k < transfers; ++k) {
    SCOPED_TRACE(k);
    Desk desk;
    auto camera = std::make_shared<sim::NxpCamera>();
    desk.Update(camera, "nxp_firmware.bin", "Veltra_NX20.bin", {sim::FaultKind::kErrorState, k});
    const std::vector<std::wstring> boxes = desk.FirstBoxes();
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), kSuccessText), 0);
    // Back running its old firmware after the flash loader was written to.
    if (camera->CurrentMode() == sim::NxpCamera::Mode::kCamera && !NxpHoldsNew(desk, *camera) &&
        !desk.Traffic("7E51:DF02", "hid_out").empty()) {
      ++oldFirmwareBack;
      EXPECT_EQ(boxes, std::vector<std::wstring>{kUnconfirmedText});
    }
  }
  // The drops this is about: the camera came back running its old firmware.
  EXPECT_GT(oldFirmwareBack, 0);
}

}  // namespace
}  // namespace veltra::test
