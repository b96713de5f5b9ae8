#include "sim/traffic_log.h"

#include <type_traits>

#include "platform/ports.h"
#include "sim/sim_usb_transport.h"

namespace veltra::sim {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::uint8_t kDirectionIn = 0x80;

std::string SetupArray(const SetupPacket& setup) {
  return ",\"setup\":[" + std::to_string(setup.bmRequestType) + "," +
         std::to_string(setup.bRequest) + "," + std::to_string(setup.wValue) + "," +
         std::to_string(setup.wIndex) + "," + std::to_string(setup.wLength) + "]";
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
  static const char kUpper[] = "0123456789ABCDEF";
  std::string out(9, ':');
  for (std::size_t i = 0; i < 4; ++i) {
    const unsigned shift = 12 - 4 * static_cast<unsigned>(i);
    out[i] = kUpper[(id.vid >> shift) & 0xFu];
    out[5 + i] = kUpper[(id.pid >> shift) & 0xFu];
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

void TrafficLog::Write(const std::string& dev, const char* op, const std::string& rest) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t now = ports().system != nullptr ? Sys().NowMs() : 0;
  ++seq_;
  if (out_ == nullptr) {
    return;
  }
  *out_ << "{\"seq\":" << seq_ << ",\"t_ms\":" << now << ",\"dev\":\""
        << (dev.empty() ? "????:????" : dev) << "\",\"op\":\"" << op << '"' << rest << "}\n";
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
    rest = SetupArray(setup) + ",\"out\":\"" + HexBytes(data, shown) + "\"";
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

}  // namespace veltra::sim
