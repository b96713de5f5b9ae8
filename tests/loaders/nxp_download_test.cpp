// The NXP RT1060 route on the bench: the flash loader into the ROM over SDP, then the image into
// the FlexSPI flash over MCU-Bootloader commands; the reports as the traffic log saw them.
#include "loaders/nxp_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/resource_ids.h"
#include "dfu/download_engines.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/loader_fixture.h"
#include "sim/cameras/nxp_camera.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
         (static_cast<std::uint32_t>(b[at + 2]) << 8) | b[at + 3];
}

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) {
    v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  }
  return v;
}

Version V(std::uint8_t major, std::uint8_t minor, std::uint16_t build, std::uint16_t revision) {
  Version v;
  v.major = major;
  v.minor = minor;
  v.build = build;
  v.revision = revision;
  return v;
}

class NxpDownloadTest : public LoaderTest {
 protected:
  std::shared_ptr<sim::NxpCamera> PlugCamera(sim::NxpCamera::Mode mode) {
    sim::NxpCamera::Options options;
    options.startMode = mode;
    auto camera = std::make_shared<sim::NxpCamera>(options);
    bus_.Plug(camera);
    EXPECT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
    return camera;
  }
  std::vector<LogEntry> Reports(long long flag) const {
    std::vector<LogEntry> out;
    for (const LogEntry& e : Log("hid_out")) {
      if (e.flag == flag) {
        out.push_back(e);
      }
    }
    return out;
  }
  std::vector<std::uintptr_t> Sent(std::uint32_t message) const {
    std::vector<std::uintptr_t> params;
    for (const auto& m : dialog_.Messages()) {
      if (m.message == message) {
        params.push_back(m.wParam);
      }
    }
    return params;
  }
  std::size_t TraceIndex(const std::wstring& line) const {
    const auto lines = system_->TraceLines();
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
  }
};

TEST_F(NxpDownloadTest, StageOneLoadsTheFlashLoaderAndJumpsToIt) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kRom);
  const Bytes loader = fwgen::StampedPayload(86272, V(1, 0, 0, 0), 14);
  SetPayload(g_loaderImage, loader);

  EXPECT_EQ(DoDownloadNXPCypress(), 1u);

  EXPECT_EQ(camera->Rom().Ram(0x20001000, loader.size()), loader);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);
  EXPECT_EQ(camera->Id().vid, sim::kMakerVid);
  EXPECT_EQ(camera->Id().pid, sim::kFlashLoaderPid);
  EXPECT_EQ(camera->Serial(), L"NXP0000001");

  const std::vector<LogEntry> commands = Reports(1);
  ASSERT_EQ(commands.size(), 4u);  // ERROR_STATUS, WRITE_FILE, JUMP_ADDRESS, GetProperty
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(commands[i].length, 1025);
    EXPECT_EQ(commands[i].out[0], 1);
    EXPECT_EQ(commands[i].result, 1);
  }
  const Bytes& writeFile = commands[1].out;
  EXPECT_EQ(writeFile[1], 0x04);
  EXPECT_EQ(writeFile[2], 0x04);
  EXPECT_EQ(Be32(writeFile, 3), 0x20001000u);
  EXPECT_EQ(writeFile[7], 0);
  EXPECT_EQ(Be32(writeFile, 8), 86272u);
  EXPECT_EQ(Be32(commands[2].out, 3), 0x20001000u);
  EXPECT_EQ(commands[2].out[1], 0x0B);
  EXPECT_TRUE(std::all_of(commands[0].out.begin() + 3, commands[0].out.end(),
                          [](std::uint8_t b) { return b == 0; }));
  // The GetProperty that follows the jump is an MCU-Bootloader command; the ROM's handle is gone
  // by then, so the report is not delivered (its result is not looked at).
  EXPECT_EQ(commands[3].length, 1016);
  EXPECT_EQ(commands[3].out[4], 0x07);
  EXPECT_EQ(commands[3].result, 0);

  const std::vector<LogEntry> data = Reports(0);
  ASSERT_EQ(data.size(), 85u);
  const LogEntry& last = data.back();
  EXPECT_EQ(last.out[0], 2);
  EXPECT_TRUE(std::equal(loader.end() - 256, loader.end(), last.out.begin() + 1));
  EXPECT_TRUE(
      std::all_of(last.out.begin() + 257, last.out.end(), [](std::uint8_t b) { return b == 0; }));
  // No pauses in this stage.
  EXPECT_EQ(data.front().tMs, last.tMs);

  EXPECT_EQ(g_loaderImage.data, nullptr);
  EXPECT_EQ(g_bLoaderDownloadBusy.load(), 0);
  EXPECT_TRUE(Traced(L"DoDownloadNXPCypress --\r\n"));
}

TEST_F(NxpDownloadTest, LostSdpDataReportLeavesTheRomWaiting) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kRom);
  SetPayload(g_loaderImage, fwgen::StampedPayload(86272, V(1, 0, 0, 0), 14));
  // ERROR_STATUS and WRITE_FILE come first; the third report is the first data report.
  camera->SetFault({sim::FaultKind::kTransferError, 2});

  // The route goes on to the end and reports success. The ROM takes every report whole (it cannot
  // tell the last report's zero fill from data), so it ends 256 bytes short and refuses the jump.
  EXPECT_EQ(DoDownloadNXPCypress(), 1u);
  EXPECT_TRUE(Traced(L"DoDownloadNXPCypress :: sendNXPHidCmd Failed..\r\n"));
  EXPECT_EQ(Reports(0).size(), 85u);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kRom);
  const sim::Rt1060Rom rom = camera->Rom();
  ASSERT_EQ(rom.Loads().size(), 1u);
  EXPECT_EQ(rom.Loads()[0].received, 84u * 1024u);
  EXPECT_EQ(g_bLoaderDownloadBusy.load(), 0);
}

TEST_F(NxpDownloadTest, StageTwoWritesTheImageAndTheCameraBootsIt) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader);
  const Bytes image = fwgen::StampedPayload(20000, V(3, 2, 1, 9), 11);
  SetPayload(imagePart1, Bytes(10, 1));
  SetPayload(imagePart2, image);
  dialog_.SetTimer(IDT_BLINK_ERASE, 400);
  dialog_.ShowItem(IDC_STATIC_UPDATING, false);

  EXPECT_EQ(DoDownloadNXPFirmware(), 1);

  // The device: the image at 0x60001000, the boot block in front, back as the camera.
  EXPECT_EQ(camera->FlashBytes(0x60001000, image.size()), image);
  EXPECT_EQ(camera->FlashBytes(0x60000000, 4), (Bytes{'F', 'C', 'F', 'B'}));
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
  for (const auto& command : camera->LoaderCommands()) {
    EXPECT_EQ(command.status, sim::BlStatus::kSuccess) << "tag " << int{command.tag};
  }
  ASSERT_EQ(CameraLib().InitExtensionUnit(bus_.CapturePath(camera.get()).c_str()), 1);
  std::uint8_t v1 = 0, v2 = 0;
  std::uint16_t v3 = 0, v4 = 0;
  ASSERT_EQ(CameraLib().ReadFirmwareVersion(&v1, &v2, &v3, &v4), 1);
  EXPECT_EQ(std::vector<int>({v1, v2, v3, v4}), std::vector<int>({3, 2, 1, 9}));

  // The command reports: tag, flags and parameters, each in a 1016-byte report.
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
  const std::vector<LogEntry> commands = Reports(1);
  ASSERT_EQ(commands.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const Bytes& r = commands[i].out;
    EXPECT_EQ(commands[i].length, 1016);
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(Le(r, 2, 2), 4 + 4 * expected[i].params.size());
    EXPECT_EQ(r[4], expected[i].tag);
    EXPECT_EQ(r[5], expected[i].flags);
    ASSERT_EQ(r[7], expected[i].params.size());
    for (std::size_t p = 0; p < expected[i].params.size(); ++p) {
      EXPECT_EQ(Le(r, 8 + 4 * p, 4), expected[i].params[p]);
    }
  }

  // Data reports of 1012 bytes, the last the rest, each followed by a 50 ms pause.
  const std::vector<LogEntry> data = Reports(0);
  ASSERT_EQ(data.size(), 20u);
  for (std::size_t k = 0; k < data.size(); ++k) {
    EXPECT_EQ(data[k].length, 1016);
    EXPECT_EQ(Le(data[k].out, 2, 2), k + 1 < data.size() ? 1012u : 20000u - 19 * 1012);
    if (k > 0) {
      EXPECT_EQ(data[k].tMs - data[k - 1].tMs, 50u);
    }
  }
  EXPECT_EQ(commands[9].tMs - data.back().tMs, 50u);

  // The dialog and the state the worker reads.
  EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{20});
  std::vector<std::uintptr_t> steps(20);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i] = i + 1;
  }
  EXPECT_EQ(Sent(WM_APP_PROGRESS), steps);
  EXPECT_FALSE(dialog_.TimerRunning(IDT_BLINK_ERASE));
  EXPECT_TRUE(dialog_.Item(IDC_STATIC_UPDATING).visible);
  EXPECT_EQ(dialog_.Item(IDC_STATIC_STATUS).text, L"Erasing Memory...Please Wait...");
  EXPECT_EQ(g_bDownloadComplete.load(), 1);
  EXPECT_EQ(g_blockCount.load(), 20u);
  EXPECT_EQ(imagePart1.data, nullptr);
  EXPECT_NE(imagePart2.data, nullptr);

  const std::vector<std::wstring> order = {
      L"DoDownloadNXPFirmware ++\n",
      L"\nsendNXPHidCmd CMD_TAG_GETPROPERTY ..",
      L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY ..",
      L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY2 ..",
      L"\nsendNXPHidCmd CMD_TAG_CONFIGMEMORY ..",
      L"\nsendNXPHidCmd CMD_TAG_FLASH_ERASE_REGION ..",
      L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY3 ..",
      L"\nsendNXPHidCmd CMD_TAG_CONFIGMEMORY2 ..",
      L"\nsendNXPHidCmd CMD_TAG_WRITEMEMORY ..",
      L"sendNXPHidCmd :: BytesLeft calling.....\n",
  };
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_LT(TraceIndex(order[i - 1]), TraceIndex(order[i])) << i;
  }
  EXPECT_LT(TraceIndex(order.back()), system_->TraceLines().size());
}

TEST_F(NxpDownloadTest, DataReportSizesAtTheBoundary) {
  struct Case {
    std::size_t length;
    std::vector<std::uint32_t> payloads;
  };
  for (const Case& c :
       {Case{1, {1}}, Case{1012, {1012}}, Case{1013, {1012, 1}}, Case{2024, {1012, 1012}}}) {
    SCOPED_TRACE(c.length);
    log_.str("");
    dialog_.ClearRecords();
    system_->ClearTrace();
    auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader);
    const Bytes image = fwgen::StampedPayload(c.length, V(2, 0, 0, 0), 3);
    SetPayload(imagePart2, image);
    EXPECT_EQ(DoDownloadNXPFirmware(), 1);
    std::vector<std::uint32_t> payloads;
    for (const LogEntry& e : Reports(0)) {
      payloads.push_back(Le(e.out, 2, 2));
    }
    EXPECT_EQ(payloads, c.payloads);
    EXPECT_EQ(Sent(WM_APP_ERASE_START), std::vector<std::uintptr_t>{c.payloads.size()});
    EXPECT_EQ(camera->FlashBytes(0x60001000, c.length), image);
    const auto lines = system_->TraceLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"sendNXPHidCmd :: BytesLeft calling.....\n"),
              1);
  }
}

TEST_F(NxpDownloadTest, LostDataReportLeavesAGapAndStillReportsSuccess) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader);
  const Bytes image = fwgen::StampedPayload(3000, V(4, 0, 0, 0), 5);
  SetPayload(imagePart2, image);
  // Nine command reports come first; the tenth report is the second data report.
  camera->SetFault({sim::FaultKind::kTransferError, 10});

  EXPECT_EQ(DoDownloadNXPFirmware(), 1);
  EXPECT_EQ(g_bDownloadComplete.load(), 1);
  EXPECT_TRUE(Traced(L"sendNXPHidCmd Failed.."));
  EXPECT_EQ(Sent(WM_APP_PROGRESS), (std::vector<std::uintptr_t>{1, 3}));
  const std::vector<LogEntry> data = Reports(0);
  ASSERT_EQ(data.size(), 3u);
  EXPECT_EQ(data[1].result, 0);
  // No pause after the lost report.
  EXPECT_EQ(data[2].tMs - data[1].tMs, 0u);

  // The flash loader wrote what it got in a row: the third report landed where the second
  // belonged, and the data phase was cut off by the next command.
  EXPECT_EQ(camera->FlashBytes(0x60001000, 1012), Bytes(image.begin(), image.begin() + 1012));
  EXPECT_EQ(camera->FlashBytes(0x60001000 + 1012, 976), Bytes(image.begin() + 2024, image.end()));
  const auto commands = camera->LoaderCommands();
  const auto write = std::find_if(commands.begin(), commands.end(),
                                  [](const sim::BlCommandRecord& r) { return r.tag == 0x04; });
  ASSERT_NE(write, commands.end());
  EXPECT_EQ(write->status, sim::BlStatus::kDataPhaseAborted);
}

TEST_F(NxpDownloadTest, NothingIsSentWithoutAnImageTheLoaderCanTake) {
  auto camera = PlugCamera(sim::NxpCamera::Mode::kFlashLoader);
  EXPECT_EQ(DoDownloadNXPFirmware(), 0);  // no image chosen
  // One byte more than the byte count can carry.
  imagePart2.data = static_cast<std::uint8_t*>(std::calloc(0x1000000 + 1, 1));
  imagePart2.length = 0x1000000 + 1;
  EXPECT_EQ(DoDownloadNXPFirmware(), 0);
  EXPECT_TRUE(Log("hid_out").empty());
  EXPECT_TRUE(dialog_.Messages().empty());
  EXPECT_EQ(g_bDownloadComplete.load(), 0);

  // Stage one without a loaded flash loader sends nothing either.
  EXPECT_EQ(DoDownloadNXPCypress(), 0u);
  EXPECT_TRUE(Log("hid_out").empty());
}

}  // namespace
}  // namespace veltra::test
