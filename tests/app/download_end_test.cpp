// The end of a DFU download and the pacing the camera needs, on every DFU route through the whole
// program: how a camera ends a download is not documented (it may answer the status read after
// the zero-length request and then restart, restart at once, restart during that request, or
// answer dfuERROR), so each lone camera runs under every value, and under its pacing switched on
// (the default, as the camera needs it) and off. The update must end as the camera makes true:
// success exactly when the camera runs the new firmware and holds every payload of the file.
// A pause the program shortens shows here as payloads the camera dropped.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "app_fixture.h"
#include "scenario_fixture.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {
namespace {

using sim::DownloadEnd;

// What the camera holds after the update, and whether it runs its firmware again.
struct Held {
  sim::DfuFlash flash;
  sim::FirmwareVersion version;
  bool runsFirmware = false;
};

// The payloads of the example file the camera must hold, from its section markers.
using Expected = std::function<bool(const sim::DfuFlash&, const Bytes& file)>;

struct DfuRoute {
  const char* name;
  const char* example;
  std::function<std::shared_ptr<sim::CameraDevice>(const sim::DfuEngine::Config&)> make;
  std::function<Held(sim::CameraDevice&)> held;
  Expected holdsFile;
};

template <typename Camera>
std::function<std::shared_ptr<sim::CameraDevice>(const sim::DfuEngine::Config&)> Family(
    sim::DfuModeCamera::Options options) {
  return [options](const sim::DfuEngine::Config& engine) {
    sim::DfuModeCamera::Options o = options;
    o.engine = engine;
    return std::make_shared<Camera>(o);
  };
}

Held DfuCameraHeld(sim::CameraDevice& device) {
  auto& camera = static_cast<sim::DfuModeCamera&>(device);
  return {camera.Flash(), camera.Version(), !camera.InUpdateMode()};
}

Held Cx3Held(sim::CameraDevice& device) {
  auto& camera = static_cast<sim::Cx3Camera&>(device);
  return {camera.Flash(), camera.Version(),
          camera.CurrentMode() == sim::Cx3Camera::Mode::kCamera && camera.FlashHoldsFirmware()};
}

bool HoldsMcuFile(const sim::DfuFlash& flash, const Bytes& file) {
  return flash.mcu == FileSection(file, "kwipMCU", 0) &&
         flash.image == FileSection(file, "kwipIMG", 0);
}

bool HoldsFpgaFile(const sim::DfuFlash& flash, const Bytes& file) {
  return flash.fpga == FileSection(file, "kwipFPGA", 0) &&
         flash.image == FileSection(file, "kwipIMG", 0);
}

// Type 3: the second image only.
bool HoldsSecondImage(const sim::DfuFlash& flash, const Bytes& file) {
  return flash.image == FileSection(file, "kwipIMG", 1, 1);
}

// Type 1 in two passes: each image in a section of its own.
bool HoldsBothPasses(const sim::DfuFlash& flash, const Bytes& file) {
  const auto& sections = flash.imageSections;
  return sections.size() >= 3 && sections[sections.size() - 3] == FileSection(file, "kwipIMG", 1) &&
         sections[sections.size() - 2] == FileSection(file, "kwipIMG", 1, 1);
}

sim::DfuModeCamera::Options InUpdateMode(sim::DfuModeCamera::Options options) {
  options.startInUpdateMode = true;
  return options;
}

const DfuRoute kDfuRoutes[] = {
    {"generic_mcu", "mcu.img", Family<sim::GenericCamera>({}), DfuCameraHeld, HoldsMcuFile},
    {"generic_fpga", "fpga.img", Family<sim::GenericCamera>({}), DfuCameraHeld, HoldsFpgaFile},
    {"generic_type3", "combined_type3.img", Family<sim::GenericCamera>({}), DfuCameraHeld,
     HoldsSecondImage},
    {"update_mode_type3", "combined_type3.img", Family<sim::GenericCamera>(InUpdateMode({})),
     DfuCameraHeld, HoldsSecondImage},
    {"pesca_two_passes", "combined_type1.img", Family<sim::PescaCamera>(sim::PescaOptions()),
     DfuCameraHeld, HoldsBothPasses},
    {"tarsa_mcu", "mcu.img", Family<sim::TarsaCamera>(sim::TarsaOptions()), DfuCameraHeld,
     HoldsMcuFile},
    {"cx3_mcu", "mcu.img",
     [](const sim::DfuEngine::Config& engine) {
       sim::Cx3Camera::Options o;
       o.engine = engine;
       return std::make_shared<sim::Cx3Camera>(o);
     },
     Cx3Held, HoldsMcuFile},
};

struct EndCase {
  const DfuRoute* route;
  DownloadEnd end;
  bool paced;  // the camera needs its pauses (the default)
};

const char* EndName(DownloadEnd end) {
  switch (end) {
    case DownloadEnd::kAnswerThenRestart:
      return "AnswersThenRestarts";
    case DownloadEnd::kRestartAtOnce:
      return "RestartsAtOnce";
    case DownloadEnd::kRestartDuringZeroLength:
      return "RestartsDuringZeroLength";
    case DownloadEnd::kErrorState:
      return "AnswersDfuError";
    case DownloadEnd::kRestartIntoUpdateMode:
      return "RestartsIntoUpdateMode";
  }
  return "?";
}

std::vector<EndCase> EndCases() {
  std::vector<EndCase> cases;
  for (const DfuRoute& route : kDfuRoutes) {
    for (DownloadEnd end : {DownloadEnd::kAnswerThenRestart, DownloadEnd::kRestartAtOnce,
                            DownloadEnd::kRestartDuringZeroLength, DownloadEnd::kErrorState,
                            DownloadEnd::kRestartIntoUpdateMode}) {
      cases.push_back({&route, end, true});
    }
    cases.push_back({&route, DownloadEnd::kAnswerThenRestart, false});
  }
  return cases;
}

void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.route->name << " " << EndName(c.end) << (c.paced ? "" : " unpaced");
}

class DownloadEndTest : public ScenarioTest, public ::testing::WithParamInterface<EndCase> {
 protected:
  // The file named after every model, so that the model check passes quietly.
  void UpdateWith(const std::string& example) {
    Browse(ExampleFile(example, "Veltra_RX40M+Veltra_Pesca+Veltra_Tarsa+Veltra_CX3_" + example));
    UpdateAndConfirm();
  }
  bool SuccessTold() const {
    for (const int id : dialog_.ModalDialogsOpened()) {
      if (id == IDD_WARNING_DIALOG) {
        return true;
      }
    }
    return BoxTexts() == std::vector<std::wstring>{kSuccessText};
  }
  // Left to its timers, the update has the minute of its wait and more to tell how it ended.
  void WaitForTheEnd() {
    for (int step = 0; step < 30 && BoxTexts().empty() && !SuccessTold(); ++step) {
      clock_.Advance(10000);
      dialog_.FireDueTimers();
      Settle();
    }
  }
};

TEST_P(DownloadEndTest, LoneCameraEndsAsTheCameraMakesTrue) {
  const EndCase& c = GetParam();
  sim::DfuEngine::Config engine;
  engine.downloadEnd = c.end;
  if (!c.paced) {
    engine.pacing = sim::Pacing::None();
  }
  auto camera = Plug(c.route->make(engine));
  StartProgram();
  UpdateWith(c.route->example);
  Settle();
  // Told before any timer ran: as the camera answered, or as it came back.
  const bool toldAtOnce = !BoxTexts().empty() || SuccessTold();
  WaitForTheEnd();

  const Held held = c.route->held(*camera);
  const bool holdsFile = c.route->holdsFile(held.flash, ExampleBytes(c.route->example));
  if (c.end == DownloadEnd::kErrorState || c.end == DownloadEnd::kRestartIntoUpdateMode) {
    // The camera refused the image, or restarted and came back in its update mode: it does not
    // run the new firmware, and the user is told so once.
    EXPECT_TRUE(toldAtOnce) << "told only when the minute ran out";
    EXPECT_FALSE(held.runsFirmware);
    EXPECT_NE(held.version, NewFirmware());
    EXPECT_EQ(BoxTexts().size(), 1u);
    EXPECT_FALSE(SuccessTold());
  } else {
    EXPECT_TRUE(held.runsFirmware);
    EXPECT_EQ(held.version, NewFirmware());
    EXPECT_TRUE(holdsFile) << "payloads dropped: " << held.flash.lostBlocks;
    EXPECT_TRUE(SuccessTold()) << (BoxTexts().empty() ? "nothing told"
                                                      : Narrow(BoxTexts()[0].c_str()));
  }
  // Whatever the end, the dialog is back: EXIT is on and the wait for the camera is over.
  EXPECT_TRUE(Enabled(IDC_BTN_EXIT));
  EXPECT_FALSE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}

INSTANTIATE_TEST_SUITE_P(EveryDfuRoute, DownloadEndTest, ::testing::ValuesIn(EndCases()),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                           return std::string(info.param.route->name) + "_" +
                                  EndName(info.param.end) + (info.param.paced ? "" : "_Unpaced");
                         });

// The flash loader's erase of the image region takes from no time to 30 s; the other commands are
// done at once. The update waits for each answer as long as its command can take: the answers
// can be read (the HID device is shared), or nothing would be waited for.
class FlashLoaderTimingTest : public ScenarioTest,
                              public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(FlashLoaderTimingTest, NxpCameraIsUpdatedWhateverTheEraseTakes) {
  sim::NxpCamera::Options options;
  options.loader.eraseMs = GetParam();
  auto camera = std::make_shared<sim::NxpCamera>(options);
  sim::Unknowns unknowns = camera->unknowns();
  unknowns.exclusiveLoaderHid = false;
  camera->SetUnknowns(unknowns);
  Plug(camera);
  StartProgram();
  Browse(ExampleFile("nxp_firmware.bin", "Veltra_NX20_nxp_firmware.bin"));
  UpdateAndConfirm();
  Settle();

  const Bytes file = ExampleBytes("nxp_firmware.bin");
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  EXPECT_EQ(camera->FlashBytes(sim::kFlashImageAddress, file.size()), file);
  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
}

INSTANTIATE_TEST_SUITE_P(EraseTimes, FlashLoaderTimingTest, ::testing::Values(0u, 30000u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                           return info.param == 0 ? std::string("AtOnce") : "Slowest";
                         });

}  // namespace
}  // namespace veltra::test
