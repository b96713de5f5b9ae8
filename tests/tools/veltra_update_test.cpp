// veltra-update: which cameras a run takes, and whole runs of the console program against the
// bench, checked by what the cameras hold, the report and the exit code.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "console/camera_choice.h"
#include "console/console_run.h"
#include "console/device_text.h"
#include "veltra-mkfw/fwgen.h"
#include "veltra-update/bench_setup.h"
#include "veltra-update/openssl_sha256.h"

namespace veltra::console {
namespace {

ListedDevice Device(const char* model, std::uint16_t pid, DeviceMode mode, const char* serial,
                    int port, Route route = Route::kModeSwitch) {
  ListedDevice device;
  device.model = model;
  device.name = *model != '\0' ? model : "DFU Device_USB_4_HUB_0";
  device.vid = 0x7E51;
  device.pid = pid;
  device.mode = mode;
  device.route = route;
  device.serial = serial;
  device.locationPath = "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(" + std::to_string(port) + ")";
  return device;
}

const std::vector<ListedDevice> kBench = {
    Device("Veltra_RX40_MH", 0xC1D0, DeviceMode::kNormal, "RX1", 1),
    Device("Veltra_RX40_MH", 0xC1D0, DeviceMode::kNormal, "RX2", 2),
    Device("Veltra_Pesca", 0xC123, DeviceMode::kNormal, "PS1", 3),
    Device("", 0xDF00, DeviceMode::kUpdate, "", 4, Route::kDfu),
    Device("Veltra_Mirel", 0xC181, DeviceMode::kNormal, "MR1", 5, Route::kSunplusLibrary),
};

struct ChoiceCase {
  const char* name;
  std::vector<std::string> args;  // after the file
  const char* file;
  int exitCode;
  std::vector<std::size_t> chosen;
};

TEST(VeltraUpdateChoice, TakesTheCamerasTheCommandLineAndTheFileName) {
  const std::vector<ChoiceCase> cases = {
      {"the one camera named by the file", {}, "Veltra_Pesca_2.img", 0, {2}},
      {"two cameras named by the file: refused", {}, "Veltra_RX40M_2.img", 4, {}},
      {"--all takes both, not the update mode", {"--all"}, "Veltra_RX40M_2.img", 0, {0, 1}},
      {"by serial", {"--camera", "rx2"}, "Veltra_RX40M_2.img", 0, {1}},
      {"an update-mode device only by port", {"--port", "4"}, "Veltra_RX40M_2.img", 0, {3}},
      {"--all and a port", {"--all", "--port", "4"}, "Veltra_RX40M_2.img", 0, {0, 1, 3}},
      {"an unknown serial", {"--camera", "XX9"}, "Veltra_RX40M_2.img", 3, {}},
      {"an empty port", {"--port", "9"}, "Veltra_RX40M_2.img", 3, {}},
      {"no camera for the file", {}, "Veltra_Tarsa_2.img", 3, {}},
      {"not named for the camera", {"--camera", "PS1"}, "Veltra_RX40M_2.img", 4, {}},
      {"not named, --yes", {"--camera", "PS1", "--yes"}, "Veltra_RX40M_2.img", 0, {2}},
  };
  for (const ChoiceCase& c : cases) {
    std::vector<std::string> args = {c.file};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Options options;
    std::string text;
    ASSERT_EQ(ParseCommandLine(args, &options, &text), Parsed::kRun) << c.name << ": " << text;
    const Choice choice = ChooseCameras(options, kBench, c.file);
    EXPECT_EQ(choice.exitCode, c.exitCode) << c.name << ": " << choice.message;
    EXPECT_EQ(choice.chosen, c.exitCode == 0 ? c.chosen : std::vector<std::size_t>{}) << c.name;
  }
  // The Sunplus library opens a camera of its own choosing: with two on the bus, none is taken.
  std::vector<ListedDevice> twoSunplus = kBench;
  twoSunplus.push_back(
      Device("Veltra_Mirel", 0xC181, DeviceMode::kNormal, "MR2", 6, Route::kSunplusLibrary));
  Options options;
  options.file = "Veltra_Mirel_2.img";
  options.cameras = {"MR1"};
  EXPECT_EQ(ChooseCameras(options, twoSunplus, options.file).exitCode, 4);
  EXPECT_EQ(ChooseCameras(options, kBench, options.file).exitCode, 0);
}

TEST(VeltraUpdateChoice, CommandLineRefusesWhatDoesNotGoTogether) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"--json"}, {"--list", "f.img"}, {"--list", "--all"}, {"f.img", "--bogus"}}) {
    Options options;
    std::string text;
    EXPECT_EQ(ParseCommandLine(args, &options, &text), Parsed::kError)
        << testing::PrintToString(args);
  }
  EXPECT_EQ(PortOfLocation("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(12)"), "3.12");
  EXPECT_EQ(PortOfLocation("ACPI(_SB_)#ACPI(PCI0)"), "");
}

// ---- whole runs on the bench ----------------------------------------------------------------

constexpr fwgen::Version kNew{3, 0, 1, 2};
// Six cameras: two of one model, one waiting in DF00, one NXP. The NXP camera's flash loader HID
// device is shared so that its answers are read and the write confirmed.
constexpr char kSix[] = "generic,generic,pesca,dfu,nxp+hid=shared,tarsa";

class VeltraUpdateRun : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("veltra-update-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    const std::map<std::string, std::string> named = {
        {"combined_type3.img", "Veltra_RX40M_3.0.1.2.img"},
        {"combined_type1.img", "Veltra_Pesca_3.0.1.2.img"},
        {"nxp_firmware.bin", "Veltra_NX20_3.0.1.2.bin"}};
    for (const auto& file : fwgen::ExampleFiles(kNew)) {
      const auto it = named.find(file.name);
      if (it != named.end()) {
        std::ofstream out(folder_ / it->second, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
      }
    }
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  struct Run {
    int exitCode = -1;
    std::vector<std::string> versions;  // what each bench camera runs afterwards
    nlohmann::json report;
    std::string err;
  };

  // interruptAfter: Ctrl+C is pressed while that many cameras have been written (-1: never).
  Run Update(const std::string& benchCommands, std::vector<std::string> args,
             int interruptAfter = -1, const char* roster = kSix) {
    update_bench::BenchSetup setup;
    std::string error;
    EXPECT_TRUE(update_bench::SetupFromTexts(roster, benchCommands, "", &setup, &error)) << error;
    args[0] = (folder_ / args[0]).string();
    const std::string reportPath = (folder_ / "report.json").string();
    args.insert(args.end(), {"--report", reportPath});
    Options options;
    EXPECT_EQ(ParseCommandLine(args, &options, &error), Parsed::kRun) << error;

    update_bench::BenchDriver bench(setup);
    std::atomic<bool> stop{false};
    // Ctrl+C arrives while a camera is being written.
    class Interrupting : public UpdateDriver {
     public:
      Interrupting(UpdateDriver& inner, std::atomic<bool>& stop, int after)
          : inner_(inner), stop_(stop), left_(after) {}
      std::vector<ListedDevice> List(bool withVersions) override {
        return inner_.List(withVersions);
      }
      UpdateResult Update(const ListedDevice& camera, const std::string& file,
                          const ProgressSink& progress) override {
        if (left_-- == 0) {
          stop_ = true;
        }
        return inner_.Update(camera, file, progress);
      }

     private:
      UpdateDriver& inner_;
      std::atomic<bool>& stop_;
      int left_;
    } driver(bench, stop, interruptAfter);
    update_bench::OpensslSha256 sha256;
    std::ostringstream out;
    std::ostringstream err;
    RunPorts ports;
    ports.driver = &driver;
    ports.sha256 = &sha256;
    ports.seconds = [&bench] { return bench.Seconds(); };
    ports.stop = &stop;
    ports.out = &out;
    ports.err = &err;
    Run run;
    run.exitCode = RunConsole(options, ports);
    for (const auto& camera : bench.cameras()) {
      run.versions.push_back(camera.version(*camera.device));
    }
    std::ifstream in(reportPath);
    run.report = nlohmann::json::parse(in, nullptr, false);
    run.err = err.str();
    return run;
  }

  std::filesystem::path folder_;
};

TEST_F(VeltraUpdateRun, AllForEachModelUpdatesTheRightCamerasAndLeavesTheOthers) {
  struct Case {
    const char* file;
    std::vector<std::size_t> updated;  // bench cameras that must run the new firmware
    std::vector<std::string> serials;  // the report's cameras, in order
  };
  const std::vector<Case> cases = {
      {"Veltra_RX40M_3.0.1.2.img", {0, 1}, {"RX40000001", "RX40000002"}},
      {"Veltra_Pesca_3.0.1.2.img", {2}, {"PSC0000001"}},
      {"Veltra_NX20_3.0.1.2.bin", {4}, {"NXP0000001"}},
  };
  const std::string fresh = "3.0.1.2";
  for (const Case& c : cases) {
    const Run run = Update("", {c.file, "--all", "--quiet"});
    EXPECT_EQ(run.exitCode, 0) << c.file << "\n" << run.err;
    for (std::size_t i = 0; i < run.versions.size(); ++i) {
      const bool wanted = std::find(c.updated.begin(), c.updated.end(), i) != c.updated.end();
      EXPECT_EQ(run.versions[i] == fresh, wanted) << c.file << ": camera " << i;
    }
    ASSERT_TRUE(run.report.is_object()) << c.file;
    EXPECT_EQ(run.report["exitCode"], 0);
    EXPECT_EQ(run.report["file"]["name"], c.file);
    ASSERT_EQ(run.report["cameras"].size(), c.serials.size()) << c.file;
    for (std::size_t i = 0; i < c.serials.size(); ++i) {
      EXPECT_EQ(run.report["cameras"][i]["serial"], c.serials[i]);
      EXPECT_EQ(run.report["cameras"][i]["outcome"], "updated");
      // Found again after its update, and read: the version the program shows.
      EXPECT_EQ(run.report["cameras"][i]["versionAfter"], fresh) << c.file;
    }
  }
}

TEST_F(VeltraUpdateRun, AFaultInOneCameraFailsItAloneAndTheRunEndsWithOne) {
  // The second camera of the model refuses the fifth transfer of its update.
  const Run run = Update("fault 1 error@5", {"Veltra_RX40M_3.0.1.2.img", "--all"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.versions[0], "3.0.1.2");
  EXPECT_NE(run.versions[1], "3.0.1.2");
  ASSERT_EQ(run.report["cameras"].size(), 2u);
  EXPECT_EQ(run.report["cameras"][0]["outcome"], "updated");
  EXPECT_EQ(run.report["cameras"][1]["serial"], "RX40000002");
  EXPECT_EQ(run.report["cameras"][1]["outcome"], "failed");
  EXPECT_EQ(run.report["cameras"][1]["message"], "Firmware Download Failed!");
  EXPECT_EQ(run.report["exitCode"], 1);
  // Progress went to stderr, with the failure on a line of its own.
  EXPECT_NE(run.err.find("RX40000002, port 2.1, Veltra_RX40_MH, 7E51:C1D0: failed"),
            std::string::npos)
      << run.err;
}

TEST_F(VeltraUpdateRun, CtrlCFinishesTheCameraBeingWrittenAndSkipsTheRest) {
  const Run run = Update("", {"Veltra_RX40M_3.0.1.2.img", "--all", "--quiet"}, 0);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.versions[0], "3.0.1.2");
  EXPECT_NE(run.versions[1], "3.0.1.2");
  ASSERT_EQ(run.report["cameras"].size(), 2u);
  EXPECT_EQ(run.report["cameras"][0]["outcome"], "updated");
  EXPECT_EQ(run.report["cameras"][1]["outcome"], "skipped");
}

TEST_F(VeltraUpdateRun, ADeviceInItsUpdateModeIsChosenByPort) {
  // Listed, each camera in its normal mode shows the version it runs; the one in DF00 none.
  {
    update_bench::BenchSetup setup;
    std::string error;
    ASSERT_TRUE(update_bench::SetupFromTexts(kSix, "", "", &setup, &error)) << error;
    update_bench::BenchDriver bench(setup);
    std::map<std::string, std::string> listed;
    for (const ListedDevice& device : bench.List(true)) {
      listed[device.serial] = device.version;
    }
    EXPECT_EQ(listed.size(), 6u);
    for (const char* serial : {"RX40000001", "RX40000002", "PSC0000001", "NXP0000001"}) {
      EXPECT_EQ(listed[serial], "1.0.0.0") << serial;
    }
    EXPECT_NE(listed["TRS0000001"], "");
    EXPECT_EQ(listed["VELTRA-DFU-MODE-0001"], "");
  }
  // The camera waiting in DF00 reports the family's serial, not its own: the port names it.
  const Run run = Update("", {"Veltra_RX40M_3.0.1.2.img", "--port", "20.1", "--quiet"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.versions[3], "3.0.1.2");
  EXPECT_NE(run.versions[0], "3.0.1.2");
  ASSERT_EQ(run.report["cameras"].size(), 1u);
  EXPECT_EQ(run.report["cameras"][0]["vidPid"], "7E51:DF00");
  EXPECT_EQ(run.report["cameras"][0]["model"], nullptr);

  // The same camera where Windows refuses this user its device: an elevated prompt is needed.
  const Run denied = Update("", {"Veltra_RX40M_3.0.1.2.img", "--port", "20.1", "--quiet"}, -1,
                            "generic,generic,pesca,dfu+denied,nxp+hid=shared,tarsa");
  EXPECT_EQ(denied.exitCode, 4) << denied.err;
  EXPECT_NE(denied.versions[3], "3.0.1.2");
  ASSERT_EQ(denied.report["cameras"].size(), 1u);
  EXPECT_EQ(denied.report["cameras"][0]["outcome"], "access-denied");
  EXPECT_NE(denied.err.find("elevated prompt"), std::string::npos) << denied.err;
}

}  // namespace
TEST_F(VeltraUpdateRun, IdenticalCamerasWithoutASerialAreChosenByPort) {
  // Two cameras of one model that report no serial, as boards on a fixture may: only the port
  // tells them apart, before the update and when the second comes back from its update mode.
  const Run run =
      Update("", {"Veltra_RX40M_3.0.1.2.img", "--port", "2.1", "--quiet"}, -1, "generic:,generic:");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(run.versions.size(), 2u);
  EXPECT_NE(run.versions[0], "3.0.1.2");
  EXPECT_EQ(run.versions[1], "3.0.1.2");
  ASSERT_EQ(run.report["cameras"].size(), 1u);
  EXPECT_EQ(run.report["cameras"][0]["port"], "2.1");
  EXPECT_EQ(run.report["cameras"][0]["outcome"], "updated");
  EXPECT_EQ(run.report["cameras"][0]["versionAfter"], "3.0.1.2");
}

}  // namespace veltra::console
