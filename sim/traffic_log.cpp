#include "sim/traffic_log.h"

#include <type_traits>

#include "platform/ports.h"
#include "sim/dfu_engine.h"
#include "sim/sim_usb_transport.h"

namespace veltra::sim {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kUpperHexDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t kDirectionIn = 0x80;

// The FX3 boot ROM's one request: a RAM write with data, the jump to the loaded program without.
constexpr std::uint8_t kFx3RomRequest = 0xA0;

struct RequestName {
  std::uint8_t request;
  const char* name;
};
// The vendor requests of the DFU-mode devices, as the docs name them.
constexpr RequestName kDfuRequestNames[] = {
    {dfu_request::kDetach, "detach"},
    {dfu_request::kDownload, "image data"},
    {dfu_request::kGetStatus, "status"},
    {dfu_request::kClearStatus, "clear status"},
    {dfu_request::kAbort, "abort"},
    {dfu_request::kMcuData, "MCU text"},
    {dfu_request::kMcuVerify, "MCU verify"},
    {dfu_request::kMcuVerifyStatus, "MCU verify read"},
    {dfu_request::kErase, "erase"},
    {dfu_request::kFpgaData, "FPGA bitstream"},
    {dfu_request::kFpgaVerify, "FPGA verify"},
    {dfu_request::kFpgaVerifyStatus, "FPGA verify read"},
    {dfu_request::kReset, "reset"},
};

// "0x0E erase": the request number in hex, as the docs write it, and its name where the bench
// knows it. A download request without data is the zero-length end.
std::string RequestLabel(const SetupPacket& setup, bool cypress) {
  std::string label = "0x";
  label.push_back(kUpperHexDigits[setup.bRequest >> 4]);
  label.push_back(kUpperHexDigits[setup.bRequest & 0xF]);
  const char* name = nullptr;
  if (cypress) {
    name = setup.bRequest != kFx3RomRequest ? nullptr : setup.wLength != 0 ? "RAM write" : "jump";
  } else if (setup.bRequest == dfu_request::kDownload && setup.wLength == 0) {
    name = "zero-length end";
  } else {
    for (const auto& entry : kDfuRequestNames) {
      if (entry.request == setup.bRequest) {
        name = entry.name;
      }
    }
  }
  if (name != nullptr) {
    label += ' ';
    label += name;
  }
  return label;
}

std::string SetupArray(const SetupPacket& setup, bool cypress = false) {
  return ",\"req\":\"" + RequestLabel(setup, cypress) + "\",\"setup\":[" +
         std::to_string(setup.bmRequestType) + "," + std::to_string(setup.bRequest) + "," +
         std::to_string(setup.wValue) + "," + std::to_string(setup.wIndex) + "," +
         std::to_string(setup.wLength) + "]";
}

std::string ResultFields(bool ok, long long value) {
  if (ok) {
    return ",\"result\":" + std::to_string(value);
  }
  const std::uint32_t error = ports().system != nullptr ? Sys().GetLastError() : 0;
  return ",\"result\":-1,\"error\":" + std::to_string(error);
}

}  // namespace

LogArg::LogArg(const char* text)
    : json_(JsonString(std::wstring(text, text + std::char_traits<char>::length(text)))) {}
LogArg::LogArg(const std::string& text)
    : json_(JsonString(std::wstring(text.begin(), text.end()))) {}
LogArg::LogArg(const wchar_t* text) : json_(JsonString(text == nullptr ? L"" : text)) {}
LogArg::LogArg(const std::wstring& text) : json_(JsonString(text)) {}

std::string DeviceName(const UsbId& id) {
  std::string out(9, ':');
  for (std::size_t i = 0; i < 4; ++i) {
    const unsigned shift = 12 - 4 * static_cast<unsigned>(i);
    out[i] = kUpperHexDigits[(id.vid >> shift) & 0xFu];
    out[5 + i] = kUpperHexDigits[(id.pid >> shift) & 0xFu];
  }
  return out;
}

std::string HexBytes(const std::uint8_t* data, std::size_t length) {
  std::string out;
  if (data == nullptr) {
    return out;
  }
  out.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    out.push_back(kHexDigits[data[i] >> 4]);
    out.push_back(kHexDigits[data[i] & 0xF]);
  }
  return out;
}

std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    const auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    if (c == L'"' || c == L'\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (code >= 0x20 && code < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      // Control and non-ASCII characters as \uXXXX (UTF-16 code units).
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(kHexDigits[(code >> shift) & 0xF]);
      }
    }
  }
  out.push_back('"');
  return out;
}

TrafficLog::TrafficLog(UsbTransport& inner, DeviceNamer namer, std::ostream& out)
    : inner_(inner), namer_(std::move(namer)), out_(&out) {}

TrafficLog::TrafficLog(UsbTransport& inner, DeviceNamer namer, const std::string& path)
    : inner_(inner),
      namer_(std::move(namer)),
      file_(std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc)),
      out_(file_.get()) {}

namespace {
TrafficLog::DeviceNamer NamerFor(SimUsbTransport& transport) {
  return [&transport](Handle handle) {
    UsbId id;
    return transport.IdentityOf(handle, &id) ? DeviceName(id) : std::string();
  };
}
}  // namespace

TrafficLog::TrafficLog(SimUsbTransport& inner, std::ostream& out)
    : TrafficLog(inner, NamerFor(inner), out) {}

TrafficLog::TrafficLog(SimUsbTransport& inner, const std::string& path)
    : TrafficLog(inner, NamerFor(inner), path) {}

TrafficLog::~TrafficLog() {
  Flush();
}

bool TrafficLog::ok() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return out_ != nullptr && out_->good();
}

void TrafficLog::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (out_ != nullptr) {
    out_->flush();
  }
}

std::uint64_t TrafficLog::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seq_;
}

std::string TrafficLog::NameOf(Handle handle) const {
  return namer_ ? namer_(handle) : std::string();
}

void TrafficLog::SetEntryHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  entryHook_ = std::move(hook);
}

void TrafficLog::Write(const std::string& dev, const char* op, const std::string& rest) {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLine(dev, op, rest);
    hook = entryHook_;
  }
  if (hook) {
    hook();
  }
}

void TrafficLog::WriteLine(const std::string& dev, const char* op, const std::string& rest) {
  const std::uint64_t now = ports().system != nullptr ? Sys().NowMs() : 0;
  ++seq_;
  if (out_ == nullptr) {
    return;
  }
  // The line is put together first and handed over in one write, then flushed: a program that
  // ends right after its last transfer (or is killed) leaves whole lines only, the last included.
  std::string line = "{\"seq\":" + std::to_string(seq_) + ",\"t_ms\":" + std::to_string(now) +
                     ",\"dev\":\"" + (dev.empty() ? std::string("????:????") : dev) +
                     "\",\"op\":\"" + op + '"' + rest + "}\n";
  out_->write(line.data(), static_cast<std::streamsize>(line.size()));
  out_->flush();
}

Handle TrafficLog::OpenDevice(const wchar_t* path) {
  return inner_.OpenDevice(path);
}
void TrafficLog::CloseDevice(Handle device) {
  inner_.CloseDevice(device);
}
bool TrafficLog::WinUsbInitialize(Handle device, Handle* interfaceHandle) {
  return inner_.WinUsbInitialize(device, interfaceHandle);
}
void TrafficLog::WinUsbFree(Handle interfaceHandle) {
  inner_.WinUsbFree(interfaceHandle);
}

bool TrafficLog::ControlTransfer(Handle interfaceHandle, const SetupPacket& setup,
                                 std::uint8_t* data, std::uint32_t* transferred) {
  // The data offered is captured before the call: a device may not touch an OUT buffer, but the
  // log must show what was sent even when the call fails.
  const bool in = (setup.bmRequestType & kDirectionIn) != 0;
  std::string rest = SetupArray(setup);
  if (!in) {
    rest += ",\"out\":\"" + HexBytes(data, data != nullptr ? setup.wLength : 0) + "\"";
  }
  std::uint32_t count = 0;
  const bool ok = inner_.ControlTransfer(interfaceHandle, setup, data, &count);
  if (transferred != nullptr) {
    *transferred = count;
  }
  if (in) {
    const std::uint32_t shown = count < setup.wLength ? count : setup.wLength;
    rest += ",\"in\":\"" + HexBytes(data, data != nullptr ? shown : 0) + "\"";
  }
  rest += ResultFields(ok, count);
  Write(NameOf(interfaceHandle), "control", rest);
  return ok;
}

bool TrafficLog::DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                                 std::uint32_t length, std::uint32_t* returned) {
  SetupPacket setup;
  const std::uint8_t* data = nullptr;
  std::uint32_t dataLength = 0;
  std::string rest;
  if (ParseCypressRecord(record, length, &setup, &data, &dataLength)) {
    const std::uint32_t shown = dataLength < setup.wLength ? dataLength : setup.wLength;
    rest = SetupArray(setup, true) + ",\"out\":\"" + HexBytes(data, shown) + "\"";
  } else {
    rest = ",\"ioctl\":" + std::to_string(ioctl) + ",\"length\":" + std::to_string(length);
  }
  const bool ok = inner_.DeviceIoControl(device, ioctl, record, length, returned);
  rest += ResultFields(ok, ok ? 1 : 0);
  Write(NameOf(device), "cypress", rest);
  return ok;
}

void TrafficLog::LogLibrary(const std::string& dev, const std::string& call,
                            const std::vector<LogArg>& args, long long result) {
  std::string rest =
      ",\"call\":" + JsonString(std::wstring(call.begin(), call.end())) + ",\"args\":[";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) {
      rest.push_back(',');
    }
    rest += args[i].json();
  }
  rest += "],\"result\":" + std::to_string(result);
  Write(dev, "library", rest);
}

void TrafficLog::LogHidOut(const std::string& dev, const std::uint8_t* report, std::size_t length,
                           int flag, long long result) {
  const std::string rest =
      ",\"out\":\"" + HexBytes(report, length) + "\",\"length\":" + std::to_string(length) +
      ",\"flag\":" + std::to_string(flag) + ",\"result\":" + std::to_string(result);
  Write(dev, "hid_out", rest);
}

void TrafficLog::LogHidIn(const std::string& dev, const std::uint8_t* report, std::size_t length) {
  const std::string rest =
      ",\"in\":\"" + HexBytes(report, length) + "\",\"result\":" + std::to_string(length);
  Write(dev, "hid_in", rest);
}

}  // namespace veltra::sim
