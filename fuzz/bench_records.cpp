// Fuzz target: the bench's reader of the Cypress driver's request record (sim::ParseCypressRecord,
// and the bench's USB transport that unwraps it for a device).
//
// Input: the record. It is accepted exactly when it is at least its 38-byte header long and its
// buffer offset and length lie inside it, with the setup fields as they stand in it; the device
// behind the transport then never sees data reaching past the record.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "sim/sim_usb_transport.h"

namespace veltra::fuzz {

namespace bench_records {

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

}  // namespace bench_records

std::string CheckBenchRecords(const std::uint8_t* data, std::size_t size) {
  using namespace bench_records;
  Findings f;
  CheckRecord(f, Bytes(data, data + size));
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckBenchRecords)
