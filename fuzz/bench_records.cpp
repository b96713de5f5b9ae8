// Fuzz target: the bench's other readers of what the program sends: the Cypress driver's request
// record (sim::ParseCypressRecord, and the bench's USB transport that unwraps it for a device) and
// the version stamp a virtual camera reads from the firmware it received (sim::ReadVersionStamp).
//
// Input: one byte (even: a Cypress record, odd: a payload with a version stamp), then the bytes.
// Record: accepted exactly when it is at least its 38-byte header long and its buffer offset and
// length lie inside it; the device behind the transport then never sees data reaching past the
// record. Stamp: accepted exactly when the payload starts with a whole line "FWVER a.b.c.d" in
// decimal within its first 40 bytes and in range, and the version read is the one written.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/cameras/firmware_version.h"
#include "sim/sim_usb_transport.h"

namespace veltra::fuzz {

namespace bench_records {

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// Keeps what the transport handed over, and reads every byte of the data stage.
class Board : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return sim::UsbId{0x04B4, 0x00F3}; }
  bool OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data) override {
    calls++;
    lastSetup = setup;
    lastData = data;
    if (data != nullptr && setup.wLength > 0) {
      copy.assign(data, data + setup.wLength);
    }
    return true;
  }
  int calls = 0;
  SetupPacket lastSetup;
  const std::uint8_t* lastData = nullptr;
  Bytes copy;
};

void CheckRecord(Findings& f, const Bytes& bytes) {
  std::unique_ptr<std::uint8_t[]> record(new std::uint8_t[bytes.empty() ? 1 : bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), record.get());
  const auto n = static_cast<std::uint32_t>(bytes.size());

  SetupPacket setup;
  const std::uint8_t* data = nullptr;
  std::uint32_t dataLength = 0;
  const bool ok = sim::ParseCypressRecord(record.get(), n, &setup, &data, &dataLength);
  const bool fits = n >= sim::kCypressHeaderSize && Le32(&bytes[30]) <= n &&
                    Le32(&bytes[34]) <= n - Le32(&bytes[30]);
  f.Expect(ok == fits, ok ? "a record pointing outside itself was accepted"
                          : "a well-formed record was refused");
  if (ok && fits) {
    f.Expect(data == record.get() + Le32(&bytes[30]) && dataLength == Le32(&bytes[34]),
             "the data stage is not where the record says");
    f.Expect(setup.bmRequestType == bytes[0] && setup.bRequest == bytes[1] &&
                 setup.wValue == (bytes[2] | (bytes[3] << 8)) &&
                 setup.wIndex == (bytes[4] | (bytes[5] << 8)) &&
                 setup.wLength == (bytes[6] | (bytes[7] << 8)),
             "the setup fields differ from the record");
  }

  // The same record through the transport, to a device.
  Bench bench;
  sim::SimUsbTransport usb(bench.bus);
  bench.set.usb = &usb;
  bench.Install();
  auto board = std::make_shared<Board>();
  bench.bus.Plug(board);
  const Handle handle = usb.OpenDevice(bench.bus.UsbInterfacePath(board.get()).c_str());
  std::uint32_t returned = 0;
  const bool sent =
      usb.DeviceIoControl(handle, kIoctlCypressEp0Transfer, record.get(), n, &returned);
  usb.CloseDevice(handle);
  if (!sent) {
    f.Expect(board->calls == 0, "a refused record reached the device");
    return;
  }
  f.Expect(board->calls == 1, "an accepted record did not reach the device once");
  const std::uint8_t* end = record.get() + n;
  f.Expect(board->lastSetup.wLength == 0 || (board->lastData >= record.get() &&
                                             board->lastData + board->lastSetup.wLength <= end),
           "the device was given data reaching past the record");
  f.Expect(returned == sim::kCypressHeaderSize + board->lastSetup.wLength,
           "bytes returned " + std::to_string(returned));
}

// Decimal number with saturation, so that a long run of digits cannot overflow.
bool Number(const std::string& token, std::uint32_t max, std::uint32_t* out) {
  if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  std::uint64_t value = 0;
  for (char c : token) {
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > max) {
      return false;
    }
  }
  *out = static_cast<std::uint32_t>(value);
  return true;
}

void CheckStamp(Findings& f, const Bytes& bytes) {
  std::unique_ptr<std::uint8_t[]> payload(new std::uint8_t[bytes.empty() ? 1 : bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), payload.get());
  sim::FirmwareVersion version{9, 9, 9, 9};
  const bool ok = sim::ReadVersionStamp(payload.get(), bytes.size(), &version);

  // The first line, if it ends within the first 40 bytes: "FWVER " and four numbers.
  const std::string head(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 40));
  const std::size_t lineEnd = head.find('\n');
  std::uint32_t fields[4] = {};
  bool expected = lineEnd != std::string::npos && head.compare(0, 6, "FWVER ") == 0 && lineEnd > 6;
  if (expected) {
    const std::uint32_t limits[4] = {0xFF, 0xFF, 0xFFFF, 0xFFFF};
    std::string rest = head.substr(6, lineEnd - 6) + ".";
    for (int i = 0; i < 4 && expected; ++i) {
      const std::size_t dot = rest.find('.');
      expected = dot != std::string::npos && Number(rest.substr(0, dot), limits[i], &fields[i]);
      rest = expected ? rest.substr(dot + 1) : rest;
    }
    expected = expected && rest.empty();
  }
  f.Expect(ok == expected, ok ? "a payload without a valid stamp was read as stamped"
                              : "a valid stamp was not read");
  if (ok && expected) {
    f.Expect(version.major == fields[0] && version.minor == fields[1] &&
                 version.build == fields[2] && version.revision == fields[3],
             "the version read is not the one written");
  }
}

}  // namespace bench_records

std::string CheckBenchRecords(const std::uint8_t* data, std::size_t size) {
  using namespace bench_records;
  InputReader in(data, size);
  const bool record = (in.Byte() & 1) == 0;
  const Bytes bytes = in.Rest();
  Findings f;
  if (record) {
    CheckRecord(f, bytes);
  } else {
    CheckStamp(f, bytes);
  }
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckBenchRecords)
