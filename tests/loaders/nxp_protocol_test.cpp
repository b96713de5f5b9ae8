// The device side of the NXP protocols: the report parsers against the program's own report
// builders and against damaged input, and the flash loader's refusals as a real chip would.
#include "sim/nxp_protocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/firmware_image.h"
#include "loaders/loader_fixture.h"
#include "loaders/nxp_download.h"
#include "loaders/nxp_reports.h"
#include "sim/cameras/nxp_camera.h"
#include "support/firmware_files.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A heap copy of exactly length bytes, so that a parser reading past it is caught by ASan.
struct Exact {
  explicit Exact(const Bytes& bytes)
      : data(static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()))) {
    if (!bytes.empty()) {
      std::memcpy(data, bytes.data(), bytes.size());
    }
    length = bytes.size();
  }
  ~Exact() { std::free(data); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
  std::uint8_t* data;
  std::size_t length;
};

TEST(NxpProtocol, ParsersReadWhatTheProgramBuilds) {
  std::uint8_t sdp[kSdpReportSize];
  BuildSdpCommandReport(sdp, SdpCommand{kSdpWriteFile, 0x20001000, 0, 86272, 0x01020304});
  sim::nxp::SdpCommand command;
  ASSERT_TRUE(sim::nxp::ParseSdpCommand(sdp, sizeof sdp, &command));
  EXPECT_EQ(command.type, sim::nxp::sdp::kWriteFile);
  EXPECT_EQ(command.address, 0x20001000u);
  EXPECT_EQ(command.count, 86272u);
  EXPECT_EQ(command.data, 0x01020304u);

  const Bytes payload = fwgen::Filler(1500, 3);
  EXPECT_EQ(BuildSdpDataReport(sdp, payload.data(), 1500), 1024u);
  const std::uint8_t* data = nullptr;
  std::size_t dataLength = 0;
  ASSERT_TRUE(sim::nxp::ParseSdpData(sdp, sizeof sdp, &data, &dataLength));
  EXPECT_EQ(dataLength, 1024u);
  EXPECT_EQ(std::memcmp(data, payload.data(), 1024), 0);

  std::uint8_t bl[kBlReportSize];
  BuildBlCommandReport(bl, kBlTagWriteMemory, kBlFlagHasDataPhase, {0x60001000, 0xABCDEF, 0});
  sim::nxp::BlCommand blCommand;
  ASSERT_TRUE(sim::nxp::ParseBlCommand(bl, sizeof bl, &blCommand));
  EXPECT_EQ(blCommand.tag, sim::nxp::tag::kWriteMemory);
  EXPECT_EQ(blCommand.flags, sim::nxp::kFlagHasDataPhase);
  ASSERT_EQ(blCommand.parameterCount, 3);
  EXPECT_EQ(blCommand.parameters[1], 0xABCDEFu);

  EXPECT_EQ(BuildBlDataReport(bl, payload.data(), 1500), 1012u);
  ASSERT_TRUE(sim::nxp::ParseBlData(bl, sizeof bl, &data, &dataLength));
  EXPECT_EQ(dataLength, 1012u);
  EXPECT_EQ(std::memcmp(data, payload.data(), 1012), 0);
  EXPECT_FALSE(sim::nxp::ParseBlCommand(bl, sizeof bl, &blCommand));  // a data report
}

TEST(NxpProtocol, DamagedReportsAreRefusedWithinTheirLength) {
  // MCU-Bootloader command: ID 1, 0, packet length, tag, flags, 0, count, parameters.
  const Bytes good = {1, 0, 12, 0, 0x07, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const std::vector<Case> commands = {
      {"empty", {}},
      {"report ID only", {1}},
      {"header cut", {1, 0, 12}},
      {"packet longer than the report", Bytes(good.begin(), good.end() - 1)},
      {"packet shorter than its parameters", {1, 0, 8, 0, 0x07, 0, 0, 2, 1, 0, 0, 0}},
      {"eight parameters", {1, 0, 36, 0, 0x07, 0, 0, 8}},
      {"data report ID", {2, 0, 12, 0, 0x07, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0}},
  };
  {
    Exact exact(good);
    sim::nxp::BlCommand command;
    EXPECT_TRUE(sim::nxp::ParseBlCommand(exact.data, exact.length, &command));
  }
  for (const Case& c : commands) {
    SCOPED_TRACE(c.name);
    Exact exact(c.bytes);
    sim::nxp::BlCommand command;
    EXPECT_FALSE(sim::nxp::ParseBlCommand(exact.data, exact.length, &command));
  }

  const std::uint8_t* data = nullptr;
  std::size_t dataLength = 0;
  for (const Bytes& bytes : {Bytes{2, 0, 5, 0, 1, 2, 3, 4}, Bytes{2, 0}, Bytes{1, 0, 0, 0}}) {
    Exact exact(bytes);
    EXPECT_FALSE(sim::nxp::ParseBlData(exact.data, exact.length, &data, &dataLength));
  }
  {
    Exact exact(Bytes{2, 0, 0, 0});  // an empty data packet is a packet
    EXPECT_TRUE(sim::nxp::ParseBlData(exact.data, exact.length, &data, &dataLength));
    EXPECT_EQ(dataLength, 0u);
  }

  sim::nxp::SdpCommand sdp;
  for (const Bytes& bytes : {Bytes(16, 1), Bytes{2, 4, 4}, Bytes{}}) {
    Exact exact(bytes);
    EXPECT_FALSE(sim::nxp::ParseSdpCommand(exact.data, exact.length, &sdp));
  }
  for (const Bytes& bytes : {Bytes{2}, Bytes{1, 2, 3}}) {
    Exact exact(bytes);
    EXPECT_FALSE(sim::nxp::ParseSdpData(exact.data, exact.length, &data, &dataLength));
  }
}

class FlashLoaderTest : public LoaderTest {
 protected:
  std::shared_ptr<sim::NxpCamera> PlugLoader() {
    sim::NxpCamera::Options options;
    options.startMode = sim::NxpCamera::Mode::kFlashLoader;
    auto camera = std::make_shared<sim::NxpCamera>(options);
    bus_.Plug(camera);
    EXPECT_EQ(CameraLib().Init_HIDHandle(bus_.HidPath(camera.get()).c_str()), 1);
    return camera;
  }
  void Command(std::uint8_t tag, std::uint8_t flags, std::initializer_list<std::uint32_t> params) {
    std::uint8_t report[kBlReportSize];
    BuildBlCommandReport(report, tag, flags, params);
    EXPECT_EQ(CameraLib().sendNXPHidCmd(report, kBlReportSize, 1), 1);
  }
  void Data(const Bytes& bytes) {
    std::uint8_t report[kBlReportSize];
    BuildBlDataReport(report, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(CameraLib().sendNXPHidCmd(report, kBlReportSize, 0), 1);
  }
  static std::vector<sim::BlStatus> Statuses(const sim::NxpCamera& camera) {
    std::vector<sim::BlStatus> out;
    for (const auto& record : camera.LoaderCommands()) {
      out.push_back(record.status);
    }
    return out;
  }
};

TEST_F(FlashLoaderTest, RefusesWhatTheChipWouldRefuse) {
  auto camera = PlugLoader();
  const Bytes before = camera->FlashBytes(0x60001000, 64);
  using S = sim::BlStatus;

  // Before ConfigureMemory the flash cannot be written or erased.
  Command(kBlTagWriteMemory, kBlFlagHasDataPhase, {0x60001000, 64, 0});
  Data(Bytes(64, 0x00));
  Command(kBlTagFlashEraseRegion, 0, {0x60000000, 4096, 0});
  // Configured, but the old firmware is still there: programming cannot set bits.
  Command(kBlTagFillMemory, 0, {0x2000, 4, 0xC0000001});
  Command(kBlTagConfigureMemory, 0, {9, 0x2000});
  Command(kBlTagWriteMemory, kBlFlagHasDataPhase, {0x60001000, 64, 0});
  Data(Bytes(64, 0x00));
  // The boot block needs an erased start of the flash too; other memory IDs are not known.
  Command(kBlTagFillMemory, 0, {0x3000, 4, 0xF000000F});
  Command(kBlTagConfigureMemory, 0, {9, 0x3000});
  Command(kBlTagConfigureMemory, 0, {8, 0x2000});
  Command(kBlTagGetProperty, 0, {0x99, 0});
  Command(0x42, 0, {});

  EXPECT_EQ(
      Statuses(*camera),
      (std::vector<S>{S::kMemoryNotConfigured, S::kUnexpectedData, S::kMemoryNotConfigured,
                      S::kSuccess, S::kSuccess, S::kFlashNotErased, S::kSuccess, S::kFlashNotErased,
                      S::kInvalidArgument, S::kUnknownProperty, S::kUnknownCommand}));
  EXPECT_EQ(camera->FlashBytes(0x60001000, 64), before);
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kFlashLoader);

  // The Reset command restarts the chip, which boots its (untouched) firmware.
  Command(0x0B, 0, {});
  EXPECT_EQ(camera->CurrentMode(), sim::NxpCamera::Mode::kCamera);
}

TEST_F(FlashLoaderTest, ImageLongerThanTheErasedRegionRunsIntoTheOldFirmware) {
  // The route erases 100000 bytes (25 sectors) whatever the image's length, and writes from
  // 0x60001000: 98304 bytes fit; a longer image meets the old firmware, which the chip cannot
  // program over. The program still reports success: it reads no response.
  auto camera = PlugLoader();
  const Bytes image = fwgen::StampedPayload(100000, Version{}, 9);
  SetPayload(imagePart2, image);
  EXPECT_EQ(DoDownloadNXPFirmware(), 1);
  const auto commands = camera->LoaderCommands();
  ASSERT_GE(commands.size(), 9u);
  EXPECT_EQ(commands[8].tag, kBlTagWriteMemory);
  EXPECT_EQ(commands[8].status, sim::BlStatus::kFlashNotErased);
  EXPECT_EQ(camera->FlashBytes(0x60001000, 98304 - 1012 * 4),
            Bytes(image.begin(), image.begin() + 98304 - 1012 * 4));
}

}  // namespace
}  // namespace veltra::test
