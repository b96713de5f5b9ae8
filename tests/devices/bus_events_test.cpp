// Bus events as device-change records, and a storm of arrivals and removals: after every event
// the passes and the rebuild leave the table true to the bus.
#include <set>
#include <string>

#include "devices_fixture.h"

namespace veltra {
namespace {

using test::DevicesTest;

int Count(const std::vector<DeviceChange>& events, std::uint32_t event, DeviceInterfaceClass cls) {
  int n = 0;
  for (const auto& e : events) {
    EXPECT_EQ(e.deviceType, kDbtDevtypDeviceInterface);
    n += e.event == event && e.cls == cls ? 1 : 0;
  }
  return n;
}

TEST_F(DevicesTest, BusEventsBecomeDeviceChangesPerInterfaceClass) {
  auto camera = PlugCamera(L"S1");                          // video + HID
  auto rom = PlugBare(0x04B4, 0x00F3, L"FX3 Boot Loader");  // USB device only
  auto events = discovery_.TakeEvents();
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(Count(events, kDbtDeviceArrival, DeviceInterfaceClass::kUsbDevice), 2);
  EXPECT_EQ(Count(events, kDbtDeviceArrival, DeviceInterfaceClass::kHid), 1);

  bus_.Unplug(camera.get());
  events = discovery_.TakeEvents();
  EXPECT_EQ(Count(events, kDbtDeviceRemoveComplete, DeviceInterfaceClass::kUsbDevice), 1);
  EXPECT_EQ(Count(events, kDbtDeviceRemoveComplete, DeviceInterfaceClass::kHid), 1);
  EXPECT_TRUE(discovery_.TakeEvents().empty());

  // With a listener the events go to it instead of the queue.
  std::vector<DeviceChange> heard;
  discovery_.SetChangeListener([&heard](const DeviceChange& change) { heard.push_back(change); });
  bus_.Unplug(rom.get());
  EXPECT_EQ(heard.size(), 1u);
  EXPECT_TRUE(discovery_.TakeEvents().empty());
}

TEST_F(DevicesTest, StormOfArrivalsAndRemovalsKeepsTableAndListTrueToTheBus) {
  std::vector<std::shared_ptr<sim::VirtualDevice>> plugged;
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int step = 0; step < 50; ++step) {
    if (plugged.empty() || (plugged.size() < 24 && next(3) != 0)) {
      std::shared_ptr<sim::VirtualDevice> device;
      switch (next(4)) {
        case 0:
          device = PlugCamera(L"", sim::kGenericCameraPid, true);  // update mode
          break;
        case 1:
          device = PlugBare(0x046D, 0x0825, L"Other webcam");  // listed by nobody
          break;
        default:
          device = PlugCamera(L"N" + std::to_wstring(step));
          break;
      }
      plugged.push_back(device);
    } else {
      const auto victim = plugged.begin() + next(static_cast<unsigned>(plugged.size()));
      bus_.Unplug(victim->get());
      plugged.erase(victim);
    }
    ASSERT_FALSE(discovery_.TakeEvents().empty());

    // The handler's work for the event; USB-device events run that pass first.
    Discover(step % 2 == 0);
    const int count = g_nDeviceCount;
    std::size_t listable = 0;
    for (const auto& device : plugged) {
      listable += device->Id().vid == 0x7E51 ? 1 : 0;
    }
    ASSERT_EQ(count, static_cast<int>(std::min<std::size_t>(listable, kMaxDevices)))
        << "step " << step;
    std::set<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
      ASSERT_NE(bus_.FindByPath(RecordPath(i)), nullptr) << "step " << step;
      paths.insert(RecordPath(i));
    }
    EXPECT_EQ(paths.size(), static_cast<std::size_t>(count));  // no device twice
    if (count > 0) {
      EXPECT_EQ(Entries().size(), static_cast<std::size_t>(count));
      EXPECT_EQ(std::wstring(g_szSelectedDevicePath), RecordPath(0));
    }
    ASSERT_EQ(discovery_.OpenObjects(), 0);
  }
}

}  // namespace
}  // namespace veltra
