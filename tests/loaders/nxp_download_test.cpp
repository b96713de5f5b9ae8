// The NXP RT1060 route on the bench, second stage: the image into the FlexSPI flash over
// MCU-Bootloader commands; the command sequence, the report sizes, the pauses and the answers read
// as the traffic log saw them. The first stage and the limits are the scenarios' and the fault
// matrix's.
#include "loaders/nxp_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialog_observer.h"
#include "app/resource_ids.h"
#include "core/text.h"
#include "core/update_session.h"
#include "dfu/download_engines.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/nxp_reports.h"
#include "sim/cameras/nxp_camera.h"
#include "sim/sim_camera_library.h"
#include "sim/sim_usb_transport.h"
#include "sim/traffic_log.h"
#include "support/bench_fixture.h"
#include "support/firmware_files.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  }
  return v;
}

// The bench's USB transport and camera library over the fixture's bus, both writing one traffic
// log, installed as the program's ports.
class NxpDownloadTest : public BenchTest {
 protected:
  NxpDownloadTest() {
    Ports set = ports();
    set.usb = &traffic_;
    set.camera = &library_;
    InstallPorts(set);
    hidInput_.SetLog(&traffic_);
  }
  std::shared_ptr<sim::NxpCamera> PlugCamera(sim::NxpCamera::Mode mode, bool exclusiveHid = false) {
    sim::NxpCamera::Options options;
    options.startMode = mode;
    auto camera = std::make_shared<sim::NxpCamera>(options);
    sim::Unknowns unknowns;
    unknowns.exclusiveLoaderHid = exclusiveHid;
    camera->SetUnknowns(unknowns);
    bus_.Plug(camera);
    EXPECT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
    return camera;
  }
  // The reports sent with the given flag: 1 for commands, 0 for data.
  std::vector<nlohmann::json> Reports(int flag) const {
    std::vector<nlohmann::json> out;
    for (const auto& line : TrafficOf(log_.str(), "hid_out")) {
      if (line.value("flag", -1) == flag) {
        out.push_back(line);
      }
    }
    return out;
  }

  sim::SimUsbTransport usb_{bus_};
  std::ostringstream log_;
  sim::TrafficLog traffic_{usb_, log_};
  sim::SimCameraLibrary library_{bus_, &traffic_};
};

// Whether the library holds the flash loader's HID device without sharing (then the answers
// cannot be read, and the reports go without them).
class NxpStageTwoTest : public NxpDownloadTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NxpStageTwoTest, StageTwoSendsItsCommandSequenceAndPacesTheData) {
  const bool exclusive = GetParam();
  auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader, exclusive);
  const Bytes image = fwgen::StampedPayload(20000, Version{}, 11);
  UpdateSession update;
  // The flash loader the update took: its answers are read through its HID interface.
  CopyText(update.szTakenDevicePath, bus_.UsbInterfacePath(camera.get()).c_str());
  DialogObserver observer(update);
  update.SetObserver(&observer);
  test::SelectFirmware(update, image);
  dialog_.SetTimer(IDT_BLINK_ERASE, 400);

  EXPECT_EQ(DoDownloadNXPFirmware(update), 1);
  EXPECT_EQ(camera->FlashBytes(0x60001000, image.size()), image);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);

  struct Expected {
    std::uint8_t tag;
    std::uint8_t flags;
    std::vector<std::uint32_t> params;
  };
  const std::vector<Expected> expected = {
      {0x07, 0, {1, 0}},
      {0x05, 0, {0x2000, 4, 0xC0000001}},
      {0x05, 0, {0x2004, 4, 0}},
      {0x11, 0, {9, 0x2000}},
      {0x02, 0, {0x60000000, 100000, 0}},
      {0x05, 0, {0x3000, 4, 0xF000000F}},
      {0x11, 0, {9, 0x3000}},
      {0x07, 0, {11, 0}},
      {0x04, 1, {0x60001000, 20000, 0}},
      {0x0C, 0, {0x8380, 0}},
      {0x0C, 0, {0x3204, 0}},
  };
  const std::vector<nlohmann::json> commands = Reports(1);
  ASSERT_EQ(commands.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes r = HexField(commands[i], "out");
    EXPECT_EQ(commands[i].at("length"), 1016);
    EXPECT_EQ(Le(r, 2, 2), 4 + 4 * expected[i].params.size());
    EXPECT_EQ(r[4], expected[i].tag);
    EXPECT_EQ(r[5], expected[i].flags);
    ASSERT_EQ(r[7], expected[i].params.size());
    for (std::size_t p = 0; p < expected[i].params.size(); ++p) {
      EXPECT_EQ(Le(r, 8 + 4 * p, 4), expected[i].params[p]);
    }
  }
  // Each data report is followed by a 50 ms pause, the last one too.
  const std::vector<nlohmann::json> data = Reports(0);
  ASSERT_EQ(data.size(), 20u);
  const auto ms = [](const nlohmann::json& line) { return line.at("t_ms").get<std::uint64_t>(); };
  for (std::size_t k = 1; k < data.size(); ++k) {
    EXPECT_EQ(ms(data[k]) - ms(data[k - 1]), 50u);
  }
  EXPECT_EQ(ms(commands[9]) - ms(data.back()), 50u);
  // The answers read: one to each command before WriteMemory, and WriteMemory's two.
  const std::vector<nlohmann::json> answers = TrafficOf(log_.str(), "hid_in");
  EXPECT_EQ(Traced(L"the flash loader's answers cannot be read; writing without them"), exclusive);
  ASSERT_EQ(answers.size(), exclusive ? 0u : 10u);
  for (const auto& answer : answers) {
    EXPECT_EQ(answer.at("result"), 1016);
  }

  EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{20});
  EXPECT_EQ(Sent(WM_APP_PROGRESS).size(), 20u);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
  // The flash loader's session is over: the camera's restart is awaited, within timer 2's bound.
  EXPECT_TRUE(dialog_.TimerRunning(IDT_TIMER_FOR_HD_ISSUE));
}
INSTANTIATE_TEST_SUITE_P(LoaderHid, NxpStageTwoTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("HeldWithoutSharing")
                                             : std::string("Shared");
                         });

}  // namespace
}  // namespace veltra::test
