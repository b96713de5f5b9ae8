// One run, many updates: two cameras of different routes on the desk, the first updated and then
// the second, in one program. Nothing the first update set may steer the second: its route, its
// pass of a two-pass image, the camera's answer to the mode switch.
//
// The 49 pairs take well under a second natively. Under a sanitizer, where each costs several
// times more, a sample of 20 runs unless VELTRA_ALL_PAIRS is set: the ROM before every route,
// every route before the NXP camera and before the Tarsa camera, and the NXP camera before the
// generic one; every kind of pair that once failed is among them.
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "app/dialog_procedures.h"
#include "app/resource_ids.h"
#include "app_fixture.h"
#include "core/window_messages.h"
#include "scenario_fixture.h"
#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct PairRoute {
  const char* name;
  const char* example;
  std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring& serial)> make;
  // A fragment of the camera's list entry when the update begins.
  const wchar_t* entry;
  // Whether the camera now runs the example's firmware, whole.
  std::function<bool(sim::CameraDevice&, const Bytes& file)> updated;
  bool endsWithWarning = false;
};

bool DfuNew(sim::DfuModeCamera& camera) {
  return !camera.InUpdateMode() && camera.Version() == ScenarioTest::NewFirmware();
}

template <typename Camera>
std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring&)> Dfu(
    sim::DfuModeCamera::Options options, std::int32_t switchAnswer = 1) {
  return [options, switchAnswer](const std::wstring& serial) {
    sim::DfuModeCamera::Options o = options;
    o.serial = serial;
    auto camera = std::make_shared<Camera>(o);
    if constexpr (std::is_same_v<Camera, sim::GenericCamera>) {
      camera->SetFirmwareUpdateResult(switchAnswer);
    }
    return camera;
  };
}

sim::DfuModeCamera::Options FoundInUpdateMode() {
  sim::DfuModeCamera::Options o;
  o.startInUpdateMode = true;
  return o;
}

std::shared_ptr<sim::CameraDevice> MakeNxp(const std::wstring& serial, bool inRom) {
  sim::NxpCamera::Options o;
  o.serial = serial;
  if (inRom) {
    o.startMode = sim::NxpCamera::Mode::kRom;
  }
  return std::make_shared<sim::NxpCamera>(o);
}

bool NxpUpdated(sim::CameraDevice& camera, const Bytes& file) {
  auto& nxp = static_cast<sim::NxpCamera&>(camera);
  return nxp.CurrentMode() == sim::NxpCamera::Mode::kCamera &&
         nxp.FlashBytes(sim::kFlashImageAddress, file.size()) == file &&
         nxp.Version() == ScenarioTest::NewFirmware();
}

// A two-pass image whose both parts were written: one manifest each.
bool BothPartsWritten(sim::CameraDevice& camera, const Bytes& /*file*/) {
  auto& dfu = static_cast<sim::DfuModeCamera&>(camera);
  const sim::DfuFlash flash = dfu.Flash();
  return DfuNew(dfu) && flash.imageSections.size() >= 2 && !flash.imageSections[0].empty() &&
         !flash.imageSections[1].empty();
}

bool DfuUpdated(sim::CameraDevice& camera, const Bytes& /*file*/) {
  return DfuNew(static_cast<sim::DfuModeCamera&>(camera));
}

// The routes. The generic camera answers the mode switch that it starts afresh (50) and takes a
// type-1 image in one pass; the Tarsa camera takes the same image in two.
const PairRoute kPairRoutes[] = {
    {"generic", "combined_type1.img", Dfu<sim::GenericCamera>({}, kFirmwareUpdateFreshStart),
     L"PID_C1D0", DfuUpdated},
    {"pesca", "mcu.img", Dfu<sim::PescaCamera>(sim::PescaOptions()), L"PID_C123", DfuUpdated, true},
    {"tarsa", "combined_type1.img", Dfu<sim::TarsaCamera>(sim::TarsaOptions()), L"PID_C05C",
     BothPartsWritten},
    {"cx3", "mcu.img",
     [](const std::wstring& serial) {
       sim::Cx3Camera::Options o;
       o.serial = serial;
       return std::make_shared<sim::Cx3Camera>(o);
     },
     L"PID_00C3",
     [](sim::CameraDevice& camera, const Bytes&) {
       auto& cx3 = static_cast<sim::Cx3Camera&>(camera);
       return cx3.CurrentMode() == sim::Cx3Camera::Mode::kCamera && cx3.FlashHoldsFirmware() &&
              cx3.Version() == ScenarioTest::NewFirmware();
     }},
    {"nxp", "nxp_firmware.bin", [](const std::wstring& serial) { return MakeNxp(serial, false); },
     L"PID_C2A0", NxpUpdated},
    {"mirel", "nxp_firmware.bin",
     [](const std::wstring& serial) {
       sim::MirelCamera::Options o;
       o.serial = serial;
       return std::make_shared<sim::MirelCamera>(o);
     },
     L"PID_C181",
     [](sim::CameraDevice& camera, const Bytes& file) {
       auto& mirel = static_cast<sim::MirelCamera&>(camera);
       return mirel.Image() == file && mirel.Version() == ScenarioTest::NewFirmware();
     }},
    {"df00", "mcu.img", Dfu<sim::GenericCamera>(FoundInUpdateMode()), L"PID_DF00", DfuUpdated},
};
// An NXP camera found in its ROM at start-up: the list gives it the flash loader at once, and it
// is updated from there, as the first update of the run.
const PairRoute kRomAtStart{"rom", "nxp_firmware.bin",
                            [](const std::wstring& serial) { return MakeNxp(serial, true); },
                            L"PID_DF02", NxpUpdated};

struct Pair {
  PairRoute first;
  PairRoute second;
};
void PrintTo(const Pair& pair, std::ostream* out) {
  *out << pair.first.name << " then " << pair.second.name;
}

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

// Every ordered pair of distinct routes, and the ROM at start-up before each route; under a
// sanitizer a sample (see the top of the file).
std::vector<Pair> Pairs() {
  const bool all = !UnderSanitizer() || std::getenv("VELTRA_ALL_PAIRS") != nullptr;
  const auto sampled = [](const PairRoute& first, const PairRoute& second) {
    const std::string a = first.name;
    const std::string b = second.name;
    return b == "nxp" || b == "tarsa" || a == "rom" || (a == "nxp" && b == "generic");
  };
  std::vector<Pair> pairs;
  for (const PairRoute& second : kPairRoutes) {
    if (all || sampled(kRomAtStart, second)) {
      pairs.push_back({kRomAtStart, second});
    }
  }
  for (const PairRoute& first : kPairRoutes) {
    for (const PairRoute& second : kPairRoutes) {
      if (&first != &second && (all || sampled(first, second))) {
        pairs.push_back({first, second});
      }
    }
  }
  return pairs;
}

class RoutePairTest : public ScenarioTest, public ::testing::WithParamInterface<Pair> {
 protected:
  // The list entry of a route's camera: the one matching its fragment that is not selected now
  // (after the first update the updated camera is selected, and the second may share its IDs).
  int EntryOf(const PairRoute& route) {
    const std::vector<std::wstring> entries = Entries();
    const int selected = shown_.ComboGetCurSel();
    int found = -1;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
      if (entries[static_cast<std::size_t>(i)].find(route.entry) != std::wstring::npos &&
          (found < 0 || found == selected)) {
        found = i;
      }
    }
    return found;
  }

  // Picks the route's camera, updates it with the route's example and checks what the user sees
  // and what the camera holds.
  void UpdateCamera(const PairRoute& route, sim::CameraDevice& camera) {
    const int entry = EntryOf(route);
    ASSERT_GE(entry, 0) << route.name << " not listed";
    shown_.ComboSetCurSel(entry);
    dialog_.Dispatch(kWmCommand, CommandParam(IDC_COMBO_DEVICELIST, kCbnSelChange));
    const std::size_t boxesBefore = BoxTexts().size();
    Browse(ExampleFile(route.example, std::string("Veltra_RX40M+Veltra_Pesca+Veltra_Tarsa+"
                                                  "Veltra_Mirel+Veltra_CX3+Veltra_NX20_") +
                                          route.example));
    ASSERT_FALSE(dialog_.FileRequests().empty());
    // Raw *.bin images are offered first for the NXP camera and its flash loader only.
    const std::string name = route.name;
    EXPECT_EQ(dialog_.FileRequests().back().binFirst, name == "nxp" || name == "rom") << name;
    UpdateAndConfirm();
    Settle();
    std::vector<std::wstring> boxes = BoxTexts();
    boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore));
    if (route.endsWithWarning) {
      // The Warning dialog's OK comes on once the updated camera has left, though the other
      // camera stays listed.
      EXPECT_TRUE(boxes.empty()) << route.name;
      ASSERT_TRUE(dialog_.IsModalOpen(IDD_WARNING_DIALOG)) << route.name;
      ASSERT_TRUE(shown_.WindowItemEnabled(Window::kWarnDialog, IDC_BTN_CONFIRM_OK).value_or(false))
          << route.name << ": the Warning dialog still waits for a camera that has left";
      // Its three minutes no longer run: "Firmware Update Failed. Please try again." cannot follow.
      EXPECT_EQ(dialog_.TimerPeriod(IDT_WARNING_TIMEOUT), 0u) << route.name;
      WarningDialogProc(AppTest::kWarnDlg, kWmCommand, CommandParam(IDC_BTN_CONFIRM_OK), 0);
      Settle();
    } else {
      EXPECT_EQ(boxes, std::vector<std::wstring>{SuccessTextFor(camera)}) << route.name;
    }
    EXPECT_TRUE(route.updated(camera, ExampleBytes(route.example))) << route.name;
  }
};

TEST_P(RoutePairTest, BothUpdatesSucceed) {
  const Pair& pair = GetParam();
  auto first = Plug(pair.first.make(L"SERA000001"));
  auto second = Plug(pair.second.make(L"SERB000002"));
  StartProgram();
  dialog_.HoldModal(IDD_WARNING_DIALOG);

  UpdateCamera(pair.first, *first);
  UpdateCamera(pair.second, *second);
  EXPECT_TRUE(pair.first.updated(*first, ExampleBytes(pair.first.example)))
      << "the second update undid the first";
}

INSTANTIATE_TEST_SUITE_P(EveryPair, RoutePairTest, ::testing::ValuesIn(Pairs()),
                         [](const ::testing::TestParamInfo<Pair>& info) {
                           return std::string(info.param.first.name) + "_then_" +
                                  info.param.second.name;
                         });

}  // namespace
}  // namespace veltra::test
