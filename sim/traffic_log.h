// The bench's record of every transfer: a UsbTransport decorator that writes one JSON object per
// transfer (JSON Lines) and passes the call on unchanged. The bench's camera-library and
// vendor-library adapters add their calls to the same sequence through LogLibrary / LogHidOut, and
// its HID input port each read of an input report through LogHidIn.
//
//   {"seq":12,"t_ms":40,"dev":"7E51:DF00","op":"control","req":"0x01 image
//   data","setup":[64,1,1,0,1024],"out":"<hex>","result":1024}
//   {"seq":13,"t_ms":40,"dev":"7E51:DF00","op":"control","req":"0x03
//   status","setup":[192,3,0,0,6],"in":"<hex>","result":6}
//   {"seq":90,"t_ms":900,"dev":"04B4:00F3","op":"cypress","req":"0xA0 RAM
//   write","setup":[64,160,4096,0,2048],"out":"<hex>","result":1}
//   {"seq":91,"t_ms":950,"dev":"1FC9:0135","op":"hid_out","out":"<hex>","length":1025,"flag":1,"result":1}
//   {"seq":92,"t_ms":990,"dev":"7E51:C123","op":"library","call":"SetExtensionUnitValueForPesca","args":[5,1],"result":1}
//   {"seq":93,"t_ms":990,"dev":"7E51:DF02","op":"hid_in","in":"<hex>","result":1016}
//
// t_ms is the program's clock (Sys().NowMs()), so the required pauses show in the log. A control
// transfer's result is the byte count moved, or -1 when the call failed (then "error" carries the
// last-error code); "out" holds the data offered, "in" the bytes received (a "hid_in" read's
// result is the byte count read, 0 when nothing came or the read failed). "req" names the request
// for a reader (its number in hex, then what the bench calls it); "setup" holds the same request
// as the five setup fields in decimal: bmRequestType, bRequest, wValue, wIndex, wLength.
//
// Every line is written whole and flushed at once, so that the file stays valid JSON Lines
// whenever the program ends.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/usb_transport.h"
#include "sim/virtual_device.h"

namespace veltra::sim {

class SimUsbTransport;

// One argument of a library call in the log: a number or a text.
class LogArg {
 public:
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
  LogArg(T value) : json_(std::to_string(static_cast<long long>(value))) {}  // NOLINT
  LogArg(const char* text);                                                  // NOLINT
  LogArg(const std::string& text);                                           // NOLINT
  LogArg(const wchar_t* text);                                               // NOLINT
  LogArg(const std::wstring& text);                                          // NOLINT
  const std::string& json() const { return json_; }

 private:
  std::string json_;
};

// "7E51:DF00".
std::string DeviceName(const UsbId& id);
// Lower-case hex of the bytes.
std::string HexBytes(const std::uint8_t* data, std::size_t length);
// A JSON string literal (quotes included) of ASCII/UTF-16 text.
std::string JsonString(const std::wstring& text);

class TrafficLog : public UsbTransport {
 public:
  // Names the device behind a handle ("VID:PID"); empty when unknown.
  using DeviceNamer = std::function<std::string(Handle)>;

  // Logs to a stream the caller keeps alive.
  TrafficLog(UsbTransport& inner, DeviceNamer namer, std::ostream& out);
  // Logs to a file (truncated). ok() tells whether it could be opened.
  TrafficLog(UsbTransport& inner, DeviceNamer namer, const std::string& path);
  // The usual bench set-up: decorates the bench transport and names devices through it.
  TrafficLog(SimUsbTransport& inner, std::ostream& out);
  TrafficLog(SimUsbTransport& inner, const std::string& path);
  ~TrafficLog() override;

  bool ok() const;
  void Flush();
  // Lines written so far.
  std::uint64_t Count() const;
  // Runs after each entry is written, on the thread whose transfer or library call it records,
  // with no lock of the log held: a point in the program's work where a scenario can step in.
  void SetEntryHook(std::function<void()> hook);

  // ---- UsbTransport (passed on, then logged) ----
  Handle OpenDevice(const wchar_t* path) override;
  void CloseDevice(Handle device) override;
  bool WinUsbInitialize(Handle device, Handle* interfaceHandle) override;
  void WinUsbFree(Handle interfaceHandle) override;
  bool ControlTransfer(Handle interfaceHandle, const SetupPacket& setup, std::uint8_t* data,
                       std::uint32_t* transferred) override;
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override;

  // ---- entries of the library adapters ----
  void LogLibrary(const std::string& dev, const std::string& call, const std::vector<LogArg>& args,
                  long long result);
  void LogHidOut(const std::string& dev, const std::uint8_t* report, std::size_t length, int flag,
                 long long result);
  // One read of an HID input report: the bytes read (none when nothing came or the read failed).
  void LogHidIn(const std::string& dev, const std::uint8_t* report, std::size_t length);

 private:
  // Writes one line: seq, t_ms, dev and op, then the fields already rendered in rest (each
  // starting with a comma). seq and t_ms are taken under the lock so that lines stay in order.
  void Write(const std::string& dev, const char* op, const std::string& rest);
  void WriteLine(const std::string& dev, const char* op, const std::string& rest);  // mutex_ held
  std::string NameOf(Handle handle) const;

  UsbTransport& inner_;
  DeviceNamer namer_;
  std::unique_ptr<std::ofstream> file_;
  std::ostream* out_;
  mutable std::mutex mutex_;
  std::uint64_t seq_ = 0;
  std::function<void()> entryHook_;
};

}  // namespace veltra::sim
