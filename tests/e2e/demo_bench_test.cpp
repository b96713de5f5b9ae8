// The demo's bench as the program meets it: the start-up cameras as the program lists them, the
// notifications that follow the bus a moment later and in order, a camera that stays away while it
// re-enumerates, and the bench's commands. The demo is a Windows program; its bench is portable
// and compiled here (the roster and the queue come from their own tests' files).
#include "demo/demo_bench.cpp"  // NOLINT(bugprone-suspicious-include)

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "camera/device_change.h"
#include "support/bench_fixture.h"

namespace veltra::demo {
namespace {

std::vector<BenchCamera> Cameras(const std::string& roster) {
  std::vector<CameraEntry> entries;
  std::string error;
  EXPECT_TRUE(ParseRoster(roster, &entries, &error)) << error;
  return MakeCameras(entries);
}

BenchCommand Command(const std::string& text) {
  BenchCommand command;
  std::string error;
  EXPECT_TRUE(ParseBenchCommand(text, &command, &error)) << text << ": " << error;
  return command;
}

// What the program was told, with the bench's time of telling.
class Heard {
 public:
  DemoBench::ChangeSink Sink(sim::VirtualClock& clock) {
    return [this, &clock](const DeviceChange& change) {
      std::lock_guard<std::mutex> lock(mutex_);
      changes_.push_back({change, clock.NowMs()});
      arrived_.notify_all();
    };
  }
  std::vector<std::pair<DeviceChange, std::uint64_t>> WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return changes_.size() >= count; });
    return changes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::pair<DeviceChange, std::uint64_t>> changes_;
};

class DemoBenchTest : public test::BenchTest {
 protected:
  // The bench's ports under the program, as the demo's entry installs them.
  void UseBench(DemoBench& bench) {
    Ports set = ports();
    set.usb = &bench.usb();
    set.camera = &bench.camera();
    set.vendor = &bench.vendor();
    set.discovery = &bench.discovery();
    InstallPorts(set);
  }
  std::vector<std::wstring> StartupList(const std::string& roster) {
    DemoBench bench(DemoBench::Config{}, Cameras(roster));
    UseBench(bench);
    bench.PlugStartupCameras();
    dialog_.ComboReset();
    SetInitialDeviceValue();
    return dialog_.ComboItems();
  }
};

TEST_F(DemoBenchTest, StartupCamerasAsTheProgramListsThem) {
  // A camera marked as unplugged stays off the bus until the bench plugs it.
  EXPECT_EQ(StartupList("-generic,cx3"),
            (std::vector<std::wstring>{L"Veltra_CX3(VID_04b4,PID_00C3_0)"}));
  // A camera waiting in its update mode is found by the USB-device walk, after the video devices.
  EXPECT_EQ(StartupList("generic,dfu"),
            (std::vector<std::wstring>{L"Veltra_RX40_MH(VID_7e51,PID_C1D0_0)",
                                       L"DFU Device_USB_2_HUB_1(VID_7E51,PID_DF00_1)"}));
  EXPECT_TRUE(StartupList("none").empty());
}

TEST_F(DemoBenchTest, NotificationsFollowTheBusLaterAndInOrder) {
  DemoBench::Config config;
  config.speed = 0.0;  // the bench's instant clock: its queues move it on
  DemoBench bench(config, Cameras("generic,pesca"));
  bench.PlugStartupCameras();  // found by the start-up scan, not notified
  Heard heard;
  bench.NotifyChanges(heard.Sink(bench.clock()));

  const std::uint64_t unplugged = bench.clock().NowMs();
  EXPECT_EQ(bench.Execute(Command("unplug 0")), "");
  EXPECT_EQ(bench.Execute(Command("plug 0")), "");
  // The USB device, then one HID notification per top-level collection (two by default).
  const auto changes = heard.WaitFor(6);
  ASSERT_EQ(changes.size(), 6u);
  const DeviceInterfaceClass classes[] = {DeviceInterfaceClass::kUsbDevice,
                                          DeviceInterfaceClass::kHid, DeviceInterfaceClass::kHid};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(changes[i].first.event, i < 3 ? kDbtDeviceRemoveComplete : kDbtDeviceArrival) << i;
    EXPECT_EQ(changes[i].first.deviceType, kDbtDevtypDeviceInterface) << i;
    EXPECT_EQ(changes[i].first.cls, classes[i % 3]) << i;
    EXPECT_GE(changes[i].second, unplugged + config.notifyLatencyMs) << i;
  }
}

TEST_F(DemoBenchTest, ReenumeratingCameraStaysAwayForTheReturnDelay) {
  DemoBench::Config config;
  config.speed = 0.0;
  DemoBench bench(config, Cameras("generic"));
  bench.PlugStartupCameras();
  Heard heard;
  bench.NotifyChanges(heard.Sink(bench.clock()));

  // The mode switch of the program's update command.
  const std::uint64_t left = bench.clock().NowMs();
  const std::wstring path = bench.bus().CapturePath(bench.bus().Present().at(0).get());
  ASSERT_NE(bench.camera().InitExtensionUnit(path.c_str()), 0);
  ASSERT_NE(bench.camera().FirmwareUpdate(3), 0);

  // USB and two HID removals, then the USB arrival of DF00.
  const auto changes = heard.WaitFor(4);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[3].first.event, kDbtDeviceArrival);
  EXPECT_GE(changes[0].second, left + config.notifyLatencyMs);
  EXPECT_GE(changes[3].second, left + config.returnDelayMs + config.notifyLatencyMs);
  EXPECT_EQ(bench.bus().Present().at(0)->Id().pid, 0xDF00);
}

TEST_F(DemoBenchTest, CommandsAndTheirRefusals) {
  DemoBench bench(DemoBench::Config{}, Cameras("generic,-pesca"));
  bench.PlugStartupCameras();
  for (const char* refused : {"plug 0", "unplug 1", "plug 2"}) {
    EXPECT_NE(bench.Execute(Command(refused)), "") << refused;
  }
  EXPECT_EQ(bench.bus().Present().size(), 1u);

  // A fault strikes the k-th transfer from now on, whatever the camera received before.
  const std::wstring path = bench.bus().CapturePath(bench.bus().Present().at(0).get());
  ASSERT_NE(bench.camera().InitExtensionUnit(path.c_str()), 0);
  std::uint8_t major = 0;
  std::uint8_t minor = 0;
  std::uint16_t build = 0;
  std::uint16_t revision = 0;
  EXPECT_NE(bench.camera().ReadFirmwareVersion(&major, &minor, &build, &revision), 0);
  EXPECT_EQ(bench.Execute(Command("fault 0 error@1")), "");
  EXPECT_NE(bench.camera().ReadFirmwareVersion(&major, &minor, &build, &revision), 0);
  EXPECT_EQ(bench.camera().ReadFirmwareVersion(&major, &minor, &build, &revision), 0);
  EXPECT_EQ(bench.Execute(Command("fault 0 error@0")), "");
  EXPECT_EQ(bench.Execute(Command("fault 0 none")), "");
  EXPECT_NE(bench.camera().ReadFirmwareVersion(&major, &minor, &build, &revision), 0);
  EXPECT_EQ(major, 1);

  // On the real-time clock the camera stays away for three seconds after its mode switch; the
  // bench's end drops its return.
  ASSERT_NE(bench.camera().FirmwareUpdate(3), 0);
  EXPECT_TRUE(bench.bus().Present().empty());
  bench.Stop();
  EXPECT_TRUE(bench.bus().Present().empty());
  EXPECT_TRUE(bench.bus().Present().empty());
}

}  // namespace
}  // namespace veltra::demo
