#include "app_fixture.h"

#include <cstdio>

#include "app/dialog_procedures.h"
#include "app/refresher.h"
#include "app/resource_ids.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "devices/device_table.h"
#include "platform/ports.h"
#include "support/firmware_files.h"

namespace veltra::test {

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != L'\0'; ++text) {
    out.push_back((*text >= 0 && *text < 0x80) ? static_cast<char>(*text) : '?');
  }
  return out;
}

// ---- RecordingCameraLibrary ----

void RecordingCameraLibrary::Answer(const std::string& call, std::int32_t result) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[call] = result;
}

void RecordingCameraLibrary::QueueHidReply(std::uint8_t status) {
  std::lock_guard<std::mutex> lock(mutex_);
  hidReplies_.push_back(status);
}

int RecordingCameraLibrary::Count(const std::string& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const auto& c : calls_) {
    n += c.rfind(prefix, 0) == 0 ? 1 : 0;
  }
  return n;
}

std::vector<std::string> RecordingCameraLibrary::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void RecordingCameraLibrary::During(const std::string& call, std::function<void()> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  duringCall_ = call;
  duringArmedBy_ = std::this_thread::get_id();
  during_ = std::move(action);
}

std::int32_t RecordingCameraLibrary::Record(const std::string& name, const std::string& args) {
  std::function<void()> action;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (during_ && name == duringCall_ && std::this_thread::get_id() != duringArmedBy_) {
      action.swap(during_);
    }
  }
  if (action) {
    action();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(name + "(" + args + ")");
  auto it = answers_.find(name);
  return it == answers_.end() ? 0 : it->second;
}

std::int32_t RecordingCameraLibrary::SetHidReport(const std::uint8_t* report, std::int32_t length) {
  std::string args;
  for (std::int32_t i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", report[i]);
    args += hex;
  }
  return Record("SetHidReport", args + "," + std::to_string(length));
}
std::int32_t RecordingCameraLibrary::GetHidReport(std::uint8_t* reply64) {
  Record("GetHidReport", "");
  std::lock_guard<std::mutex> lock(mutex_);
  if (hidReplies_.empty()) {
    return 0;
  }
  reply64[1] = hidReplies_.front();
  hidReplies_.pop_front();
  return 1;
}
// ---- AppTest ----

namespace {
HeadlessDialog::DialogProc Bind(DialogProcedure proc, Handle window) {
  return [proc, window](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return proc(window, message, wParam, lParam);
  };
}
}  // namespace

void InstallProgramDialogs(HeadlessDialog& dialog) {
  dialog.SetDialogProc(Bind(&MainDialogProc, AppTest::kMainDlg));
  dialog.SetModalProc(IDD_CONFIRM_DIALOG, Bind(&ConfirmDialogProc, AppTest::kConfirmDlg));
  dialog.SetModalProc(IDD_WARNING_DIALOG, Bind(&WarningDialogProc, AppTest::kWarnDlg));
  dialog.SetModalProc(IDD_ERROR_DIALOG, Bind(&ErrorDialogProc, AppTest::kErrorDlg));
}

AppTest::AppTest() {
  Ports set = ports();
  set.camera = &camera_;
  set.usb = &usb_;
  set.discovery = &discovery_;
  set.vendor = &vendor_;
  InstallPorts(set);
  InstallProgramDialogs(dialog_);
}

AppTest::~AppTest() {
  // Every thread the program started ends before the bench it talks to goes away.
  StopUpdateUIThread();
  system_->JoinAllThreads();
}

void AppTest::AddRecord(const wchar_t* name, const wchar_t* vid, const wchar_t* pid,
                        const wchar_t* path) {
  const int i = Controller().List().nDeviceCount;
  ASSERT_LT(i, kMaxDevices);
  CopyText(Controller().List().DeviceTable[i].friendlyName, name);
  CopyText(Controller().List().DeviceTable[i].vidText, vid);
  CopyText(Controller().List().DeviceTable[i].pidText, pid);
  CopyText(Controller().List().DeviceTable[i].devicePath, path);
  Controller().List().nDeviceCount = i + 1;
  shown_.ComboAddString(name);
}

void AppTest::Select(int index) {
  shown_.ComboSetCurSel(index);
}

std::wstring AppTest::WriteFile(const std::string& name, std::size_t bytes) {
  Bytes data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return WriteTempFile(name, data).path;
}

}  // namespace veltra::test
