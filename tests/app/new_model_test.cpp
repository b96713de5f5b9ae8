// Adding a camera model is one row of the device rules. A made-up model of the maker, 7E51:C3B0,
// whose update mode has a product ID of its own (DF07), is updated through the whole program once
// the row of that update mode is in: the program lists it in its update mode, finds it again
// there, writes it over DFU and finds it back running its new firmware. Without the row the
// camera is never seen in its update mode.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "devices/device_rules.h"
#include "scenario_fixture.h"
#include "sim/cameras/dfu_cameras.h"
#include "support/traffic_lines.h"

namespace veltra::test {
namespace {

// The made-up model's product IDs, in its normal and in its update mode. Its normal mode needs no
// row: the maker's every product switches into its update mode on the library's command.
constexpr std::uint16_t kModelPid = 0xC3B0;
constexpr std::uint16_t kModelUpdatePid = 0xDF07;

class NewModelTest : public ScenarioTest {
 protected:
  // The fixture puts the built-in rules back whole when the test ends; the table stays for the
  // process, so that no program thread still ending can read a table that is gone.
  NewModelTest() { InstallDeviceRules(&WithModel()); }

  static const DeviceRuleTable& WithModel() {
    static const DeviceRuleTable table = Build();
    return table;
  }

  static DeviceRuleTable Build() {
    const DeviceRuleTable& builtIn = DeviceRuleTable::BuiltIn();
    const std::vector<VendorRule>& vendors = builtIn.Vendors();
    const auto maker = std::find_if(vendors.begin(), vendors.end(), [](const VendorRule& v) {
      return v.vendor == DeviceVendor::kMaker;
    });
    std::vector<DeviceRule> rows = builtIn.Rows();
    rows.push_back({maker->vid, kModelUpdatePid, DeviceFamily::kUnknown, DeviceMode::kUpdate,
                    UpdateRoute::kDfu, ListedAs::kUpdateMode});
    return DeviceRuleTable(vendors, rows);
  }
};

TEST_F(NewModelTest, MadeUpModelIsUpdatedThroughItsOwnUpdateMode) {
  sim::DfuModeCamera::Options options;
  options.pid = kModelPid;
  options.updatePid = kModelUpdatePid;
  auto camera = Plug(std::make_shared<sim::GenericCamera>(options));
  StartProgram();
  const std::wstring entry = L"Veltra_RX40_MH(VID_7e51,PID_C3B0_0)";
  ASSERT_EQ(Entries(), std::vector<std::wstring>{entry});

  Browse(ExampleFile("mcu.img", "Veltra_RX40M_mcu.img"));
  UpdateAndConfirm();
  Settle();

  EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{kSuccessText});
  EXPECT_EQ(camera->UpdatesCompleted(), 1);
  EXPECT_FALSE(camera->InUpdateMode());
  EXPECT_EQ(camera->Version(), NewFirmware());
  EXPECT_FALSE(TrafficOf(traffic_.str(), "control", "7E51:DF07").empty());
  // Back in the list under its normal product ID, selected again, idle.
  EXPECT_EQ(Entries(), std::vector<std::wstring>{entry});
  ExpectReadyFor(entry);
}

}  // namespace
}  // namespace veltra::test
