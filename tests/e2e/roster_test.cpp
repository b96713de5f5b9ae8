// The demo's set-up texts (its cameras, its speed, the bench's commands) and the cameras a roster
// makes. The demo is a Windows program; these parts are portable and compiled here.
#include <gtest/gtest.h>

#include <set>

#include "demo/bench_roster.cpp"  // NOLINT(bugprone-suspicious-include)

namespace veltra::demo {
namespace {

TEST(DemoRoster, ReadsWhatItCanBuildAndRefusesTheRest) {
  std::vector<CameraEntry> cameras;
  std::string error;
  ASSERT_TRUE(ParseRoster(" -cx3+laxrecords+erase=90 , generic:RX4A000042+lax,generic:, rt1060rom",
                          &cameras, &error))
      << error;
  ASSERT_EQ(cameras.size(), 4u);
  EXPECT_FALSE(cameras[0].strictness.recordFields);
  EXPECT_TRUE(cameras[0].strictness.setupFields);
  EXPECT_FALSE(cameras[1].strictness.reportLengths);
  EXPECT_TRUE(cameras[2].strictness.reportLengths);
  EXPECT_FALSE(cameras[0].plugged);
  EXPECT_EQ(cameras[0].kind, CameraKind::kCx3);
  EXPECT_TRUE(cameras[1].plugged);
  EXPECT_EQ(cameras[1].serial, L"RX4A000042");
  EXPECT_TRUE(cameras[2].serialGiven);  // given, and empty: a camera without serial
  EXPECT_EQ(cameras[2].serial, L"");
  EXPECT_FALSE(cameras[3].serialGiven);
  // The erase time reaches the camera's DFU engine; without +erase it keeps the bench's default.
  const std::vector<BenchCamera> made = MakeCameras(cameras);
  EXPECT_EQ(static_cast<sim::Cx3Camera&>(*made[0].device).engine().EraseMs(), 90000u);
  EXPECT_EQ(static_cast<sim::DfuModeCamera&>(*made[1].device).engine().EraseMs(), 2000u);
  ASSERT_TRUE(ParseRoster("none", &cameras, &error));
  EXPECT_TRUE(cameras.empty());

  std::vector<std::string> bad = {"",
                                  "generic,,pesca",
                                  "generic,",
                                  "webcam",
                                  "-",
                                  "generic:ABCDEFGHIJK",  // longer than a serial field holds
                                  "generic:AB-12",
                                  "nxp+kind",
                                  "nxp+erase=5",  // no DFU erase on that route
                                  "generic+erase=121",
                                  "generic+erase="};
  bad.push_back("generic");  // one camera more than the bench's 16
  for (int i = 0; i < 16; ++i) {
    bad.back() += ",generic";
  }
  for (const std::string& text : bad) {
    cameras = {CameraEntry{}};
    EXPECT_FALSE(ParseRoster(text, &cameras, &error)) << text;
    EXPECT_TRUE(cameras.empty()) << text;
  }
}

TEST(DemoRoster, SpeedAndBenchCommands) {
  const struct {
    const char* text;
    bool ok;
    double speed;
  } speeds[] = {
      {"", true, 1.0},     {" 20 ", true, 20.0},  {"0.5", true, 0.5},   {"1000", true, 1000.0},
      {"0", false, 0.0},   {"0.01", false, 0.0},  {"1001", false, 0.0}, {"20x", false, 0.0},
      {"nan", false, 0.0}, {"1e400", false, 0.0},
  };
  for (const auto& c : speeds) {
    double speed = -1.0;
    std::string error;
    EXPECT_EQ(ParseSpeed(c.text, &speed, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(speed, c.speed) << c.text;
    }
  }

  BenchCommand command;
  std::string error;
  ASSERT_TRUE(ParseBenchCommand("  unplug  2 ", &command, &error)) << error;
  EXPECT_EQ(command.verb, BenchCommand::Verb::kUnplug);
  EXPECT_EQ(command.camera, 2u);
  ASSERT_TRUE(ParseBenchCommand("fault 1 short@12", &command, &error)) << error;
  EXPECT_EQ(command.fault, sim::FaultKind::kShortTransfer);
  EXPECT_EQ(command.afterTransfers, 12);
  for (const char* kind : {"error", "short", "stuck", "error-state", "disconnect"}) {
    ASSERT_TRUE(ParseBenchCommand(std::string("fault 0 ") + kind + "@0", &command, &error));
    EXPECT_STREQ(FaultName(command.fault), kind);
  }
  // The bench window's older spelling is still taken.
  ASSERT_TRUE(ParseBenchCommand("fault 0 errorstate@3", &command, &error)) << error;
  EXPECT_EQ(command.fault, sim::FaultKind::kErrorState);
  for (const char* text :
       {"", "replug 0", "plug", "plug 0 1", "plug -1", "plug 16", "fault 0", "fault 0 error",
        "fault 0 error@-1", "fault 0 fire@1", "fault 0 none@3"}) {
    EXPECT_FALSE(ParseBenchCommand(text, &command, &error)) << text;
  }
}

// The program finds an updated camera again by its serial: two of a kind must not share one.
TEST(DemoRoster, CamerasOfOneKindHaveDistinctSerials) {
  std::vector<CameraEntry> entries;
  std::string error;
  ASSERT_TRUE(
      ParseRoster("generic,pesca,tarsa,mirel,cx3,nxp,restricted,dfu,fx3rom,rt1060rom,"
                  "generic,generic:,generic:MINE01",
                  &entries, &error))
      << error;
  const std::vector<BenchCamera> cameras = MakeCameras(entries);
  ASSERT_EQ(cameras.size(), entries.size());
  std::set<std::wstring> serials;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    ASSERT_NE(cameras[i].version, nullptr);
    const std::wstring serial = cameras[i].device->Serial();
    EXPECT_LE(serial.size(), 10u);
    if (i != 11) {
      EXPECT_TRUE(serials.insert(serial).second) << "serial used twice at " << i;
    }
  }
  EXPECT_EQ(cameras[11].device->Serial(), L"");
  EXPECT_EQ(cameras[12].device->Serial(), L"MINE01");
}

}  // namespace
}  // namespace veltra::demo
