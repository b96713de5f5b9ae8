// The demo's set-up texts (its cameras, its speed, the bench's commands) and the cameras a roster
// makes: identities, start modes and serials. The demo is a Windows program; these parts are
// portable and compiled here.
#include <gtest/gtest.h>

#include <set>

#include "demo/bench_roster.cpp"  // NOLINT(bugprone-suspicious-include)
#include "sim/bus.h"
#include "sim/traffic_log.h"

namespace veltra::demo {
namespace {

std::string IdOf(const BenchCamera& camera) {
  const sim::UsbId id = camera.device->Id();
  return sim::DeviceName(id);
}

TEST(DemoRoster, KindsPlugStateAndSerials) {
  std::vector<CameraEntry> cameras;
  std::string error;
  ASSERT_TRUE(ParseRoster(kDefaultRoster, &cameras, &error)) << error;
  ASSERT_EQ(cameras.size(), 3u);
  EXPECT_EQ(cameras[0].kind, CameraKind::kGeneric);
  EXPECT_EQ(cameras[1].kind, CameraKind::kPesca);
  EXPECT_EQ(cameras[2].kind, CameraKind::kNxp);
  for (const CameraEntry& entry : cameras) {
    EXPECT_TRUE(entry.plugged);
    EXPECT_FALSE(entry.serialGiven);
  }

  ASSERT_TRUE(ParseRoster(" -cx3 , generic:RX4A000042,generic:, rt1060rom", &cameras, &error))
      << error;
  ASSERT_EQ(cameras.size(), 4u);
  EXPECT_FALSE(cameras[0].plugged);
  EXPECT_EQ(cameras[0].kind, CameraKind::kCx3);
  EXPECT_TRUE(cameras[1].serialGiven);
  EXPECT_EQ(cameras[1].serial, L"RX4A000042");
  EXPECT_TRUE(cameras[2].serialGiven);
  EXPECT_EQ(cameras[2].serial, L"");
  EXPECT_EQ(cameras[3].kind, CameraKind::kRt1060Rom);

  ASSERT_TRUE(ParseRoster("none", &cameras, &error));
  EXPECT_TRUE(cameras.empty());
}

TEST(DemoRoster, RefusesWhatItCannotBuild) {
  const char* bad[] = {
      "",                     // empty item
      "generic,,pesca",       // empty item in the middle
      "generic,",             // trailing comma
      "webcam",               // unknown kind
      "-",                    // no kind after the unplugged mark
      "generic:ABCDEFGHIJK",  // serial of 11 characters
      "generic:AB-12",        // serial with a character a USB serial here never has
  };
  std::vector<std::string> texts(std::begin(bad), std::end(bad));
  std::string seventeen = "generic";
  for (int i = 1; i < 17; ++i) {
    seventeen += ",generic";
  }
  texts.push_back(seventeen);
  for (const std::string& text : texts) {
    std::vector<CameraEntry> cameras = {CameraEntry{}};
    std::string error;
    EXPECT_FALSE(ParseRoster(text, &cameras, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_TRUE(cameras.empty()) << text;
  }
}

TEST(DemoRoster, Speed) {
  struct Case {
    const char* text;
    bool ok;
    double speed;
  };
  const Case cases[] = {
      {"", true, 1.0},     {" 20 ", true, 20.0}, {"0.5", true, 0.5},   {"1000", true, 1000.0},
      {"0", false, 0.0},   {"-3", false, 0.0},   {"0.01", false, 0.0}, {"1001", false, 0.0},
      {"20x", false, 0.0}, {"fast", false, 0.0}, {"nan", false, 0.0},  {"1e400", false, 0.0},
  };
  for (const Case& c : cases) {
    double speed = -1.0;
    std::string error;
    EXPECT_EQ(ParseSpeed(c.text, &speed, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(speed, c.speed) << c.text;
    } else {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
}

TEST(DemoRoster, BenchCommands) {
  BenchCommand command;
  std::string error;
  ASSERT_TRUE(ParseBenchCommand("  unplug  2 ", &command, &error)) << error;
  EXPECT_EQ(command.verb, BenchCommand::Verb::kUnplug);
  EXPECT_EQ(command.camera, 2u);
  ASSERT_TRUE(ParseBenchCommand("fault 1 short@12", &command, &error)) << error;
  EXPECT_EQ(command.verb, BenchCommand::Verb::kFault);
  EXPECT_EQ(command.fault, sim::FaultKind::kShortTransfer);
  EXPECT_EQ(command.afterTransfers, 12);
  ASSERT_TRUE(ParseBenchCommand("fault 0 none", &command, &error)) << error;
  EXPECT_EQ(command.fault, sim::FaultKind::kNone);
  for (const char* kind : {"error", "short", "stuck", "errorstate", "disconnect"}) {
    ASSERT_TRUE(ParseBenchCommand(std::string("fault 0 ") + kind + "@0", &command, &error));
    EXPECT_STREQ(FaultName(command.fault), kind);
  }

  const char* bad[] = {"",
                       "replug 0",
                       "plug",
                       "plug 0 1",
                       "plug -1",
                       "plug 16",
                       "plug x",
                       "fault 0",
                       "fault 0 error",
                       "fault 0 error@",
                       "fault 0 error@-1",
                       "fault 0 fire@1",
                       "fault 0 none@3"};
  for (const char* text : bad) {
    EXPECT_FALSE(ParseBenchCommand(text, &command, &error)) << text;
  }
}

TEST(DemoRoster, CamerasHaveTheirIdentitiesAndDistinctSerials) {
  std::vector<CameraEntry> entries;
  std::string error;
  ASSERT_TRUE(
      ParseRoster("generic,pesca,tarsa,mirel,cx3,nxp,restricted,dfu,fx3rom,rt1060rom,"
                  "generic,generic:,generic:MINE01",
                  &entries, &error))
      << error;
  const std::vector<BenchCamera> cameras = MakeCameras(entries);
  ASSERT_EQ(cameras.size(), entries.size());
  const char* ids[] = {"7E51:C1D0", "7E51:C123", "7E51:C05C", "7E51:C181", "04B4:00C3",
                       "7E51:C2A0", "7E51:C0FF", "7E51:DF00", "04B4:00F3", "1FC9:0135",
                       "7E51:C1D0", "7E51:C1D0", "7E51:C1D0"};
  std::set<std::wstring> serials;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    EXPECT_EQ(IdOf(cameras[i]), ids[i]) << i;
    ASSERT_NE(cameras[i].version, nullptr);
    EXPECT_EQ(cameras[i].version(*cameras[i].device), i == 9 ? "0.0.0.0" : "1.0.0.0") << i;
    const std::wstring serial = cameras[i].device->Serial();
    EXPECT_LE(serial.size(), 10u);
    if (i != 11) {
      EXPECT_TRUE(serials.insert(serial).second) << "serial used twice at " << i;
    }
  }
  EXPECT_EQ(cameras[0].device->Serial(), L"RX40000001");
  EXPECT_EQ(cameras[10].device->Serial(), L"RX40000002");
  EXPECT_EQ(cameras[11].device->Serial(), L"");
  EXPECT_EQ(cameras[12].device->Serial(), L"MINE01");
}

}  // namespace
}  // namespace veltra::demo
