#include "desk_fixture.h"

#include "sim/cameras/cx3_camera.h"
#include "sim/cameras/dfu_cameras.h"
#include "sim/cameras/mirel_camera.h"
#include "sim/cameras/nxp_camera.h"

namespace veltra::test {

namespace {

using MakeCamera =
    std::function<std::shared_ptr<sim::CameraDevice>(const std::wstring&, const sim::Unknowns&)>;

template <typename Camera>
MakeCamera DfuFamily(const sim::DfuModeCamera::Options& options, bool inUpdateMode) {
  return [options, inUpdateMode](const std::wstring& serial, const sim::Unknowns& unknowns) {
    sim::DfuModeCamera::Options o = options;
    o.serial = serial;
    o.startInUpdateMode = inUpdateMode;
    auto camera = std::make_shared<Camera>(o);
    camera->SetUnknowns(unknowns);
    return camera;
  };
}

MakeCamera Cx3(sim::Cx3Camera::Mode mode) {
  return [mode](const std::wstring& serial, const sim::Unknowns& unknowns) {
    sim::Cx3Camera::Options o;
    o.serial = serial;
    o.startMode = mode;
    auto camera = std::make_shared<sim::Cx3Camera>(o);
    camera->SetUnknowns(unknowns);
    return camera;
  };
}

MakeCamera Nxp(sim::NxpCamera::Mode mode, bool withSerial) {
  return [mode, withSerial](const std::wstring& serial, const sim::Unknowns& unknowns) {
    sim::NxpCamera::Options o;
    o.serial = withSerial ? serial : L"";
    o.startMode = mode;
    auto camera = std::make_shared<sim::NxpCamera>(o);
    camera->SetUnknowns(unknowns);
    return camera;
  };
}

std::function<std::wstring(int)> Entry(const std::wstring& prefix) {
  return [prefix](int index) { return prefix + std::to_wstring(index) + L")"; };
}

bool NxpUpdated(sim::CameraDevice& camera, const Bytes& file) {
  auto& nxp = static_cast<sim::NxpCamera&>(camera);
  return nxp.CurrentMode() == sim::NxpCamera::Mode::kCamera &&
         nxp.FlashBytes(sim::kFlashImageAddress, file.size()) == file &&
         nxp.Version() == ScenarioTest::NewFirmware();
}

}  // namespace

bool DfuCameraUpdated(sim::CameraDevice& camera, const Bytes& /*file*/) {
  auto& dfu = static_cast<sim::DfuModeCamera&>(camera);
  return dfu.UpdatesCompleted() == 1 && !dfu.InUpdateMode() &&
         dfu.Version() == ScenarioTest::NewFirmware();
}

const std::vector<Route>& Routes() {
  static const std::vector<Route> routes = {
      {"generic", "mcu.img", DfuFamily<sim::GenericCamera>({}, false),
       Entry(L"Veltra_RX40_MH(VID_7e51,PID_C1D0_"), DfuCameraUpdated, false,
       DfuFamily<sim::GenericCamera>({}, true)},
      {"pesca", "mcu.img", DfuFamily<sim::PescaCamera>(sim::PescaOptions(), false),
       Entry(L"Veltra_Pesca(VID_7e51,PID_C123_"), DfuCameraUpdated, true,
       DfuFamily<sim::PescaCamera>(sim::PescaOptions(), true)},
      {"tarsa", "mcu.img", DfuFamily<sim::TarsaCamera>(sim::TarsaOptions(), false),
       Entry(L"Veltra_Tarsa(VID_7e51,PID_C05C_"), DfuCameraUpdated, false,
       DfuFamily<sim::TarsaCamera>(sim::TarsaOptions(), true)},
      {"cx3", "mcu.img", Cx3(sim::Cx3Camera::Mode::kCamera),
       Entry(L"Veltra_CX3(VID_04b4,PID_00C3_"),
       [](sim::CameraDevice& camera, const Bytes&) {
         auto& cx3 = static_cast<sim::Cx3Camera&>(camera);
         return cx3.CurrentMode() == sim::Cx3Camera::Mode::kCamera && cx3.FlashHoldsFirmware() &&
                cx3.Version() == ScenarioTest::NewFirmware();
       },
       false, Cx3(sim::Cx3Camera::Mode::kLoadedProgram)},
      {"nxp", "nxp_firmware.bin", Nxp(sim::NxpCamera::Mode::kCamera, true),
       Entry(L"Veltra_NX20(VID_7e51,PID_C2A0_"), NxpUpdated, false,
       Nxp(sim::NxpCamera::Mode::kFlashLoader, true), true},
      // Without a serial the camera is known again by its place.
      {"nxp_without_serial", "nxp_firmware.bin", Nxp(sim::NxpCamera::Mode::kCamera, false),
       Entry(L"Veltra_NX20(VID_7e51,PID_C2A0_"), NxpUpdated, false,
       Nxp(sim::NxpCamera::Mode::kFlashLoader, false), true},
      {"mirel", "nxp_firmware.bin",
       [](const std::wstring& serial, const sim::Unknowns& unknowns) {
         sim::MirelCamera::Options o;
         o.serial = serial;
         auto camera = std::make_shared<sim::MirelCamera>(o);
         camera->SetUnknowns(unknowns);
         return camera;
       },
       Entry(L"Veltra_Mirel(VID_7e51,PID_C181_"),
       [](sim::CameraDevice& camera, const Bytes& file) {
         auto& mirel = static_cast<sim::MirelCamera&>(camera);
         return mirel.Image() == file && mirel.Version() == ScenarioTest::NewFirmware();
       }},
  };
  return routes;
}

}  // namespace veltra::test
