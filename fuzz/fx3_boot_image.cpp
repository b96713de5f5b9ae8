// Fuzz target: the FX3 boot image as DoDownloadCypress parses and sends it.
//
// The input is the boot image, put into the loader buffer as LoadFX3BootImage leaves it. Each input
// runs the whole parse-and-send path twice:
//  1. over a transport that takes every request and keeps its record: a damaged image must be
//     refused with not one request sent (and stay loaded, the busy flag set); a sound one must go
//     out as exactly the chunks of its sections (at most 2048 bytes, addresses advancing, bytes
//     equal to the image) in well-formed driver records, then the entry request, the buffer
//     released and the busy flag cleared;
//  2. over the bench's USB transport to a board with the FX3 boot ROM model, which refuses writes
//     outside its RAM: what it accepted must be a prefix of those chunks, and after a success its
//     RAM holds the image's sections.
// The layout is worked out here from the image itself, independently of ParseFx3BootImage.
#include <cstdlib>
#include <cstring>
#include <map>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_targets.h"
#include "image/loader_files.h"
#include "sim/fx3_rom.h"
#include "sim/sim_usb_transport.h"

namespace veltra::fuzz {

namespace fx3_boot_image {

constexpr std::uint32_t kMaxChunk = 2048;
constexpr std::uint32_t kHeader = 38;
constexpr Handle kRecorderHandle = 0x4242;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One request the download must send: data from the image (length 0: the entry request).
struct Chunk {
  std::uint32_t address = 0;
  std::size_t offset = 0;
  std::uint32_t length = 0;
};

// The chunks of a sound image, the entry request last; false for a damaged image.
bool ExpectedChunks(const Bytes& image, std::vector<Chunk>* chunks) {
  if (image.size() < 4 || image[0] != 'C' || image[1] != 'Y') {
    return false;
  }
  for (std::size_t at = 4;;) {
    if (image.size() - at < 8) {
      return false;  // no terminating section
    }
    const std::uint32_t words = Le32(&image[at]);
    std::uint32_t address = Le32(&image[at + 4]);
    at += 8;
    if (words == 0) {
      chunks->push_back(Chunk{address, at, 0});
      return true;
    }
    const std::uint64_t bytes = std::uint64_t{words} * 4;
    if (bytes > image.size() - at) {
      return false;
    }
    for (std::uint64_t done = 0; done < bytes; done += kMaxChunk) {
      const auto n =
          static_cast<std::uint32_t>(bytes - done < kMaxChunk ? bytes - done : kMaxChunk);
      chunks->push_back(Chunk{address, at + static_cast<std::size_t>(done), n});
      address += n;
    }
    at += static_cast<std::size_t>(bytes);
  }
}

// Takes every request and keeps its record.
class RecordingTransport : public UsbTransport {
 public:
  Handle OpenDevice(const wchar_t*) override { return kInvalidHandle; }
  void CloseDevice(Handle) override {}
  bool WinUsbInitialize(Handle, Handle*) override { return false; }
  void WinUsbFree(Handle) override {}
  bool ControlTransfer(Handle, const SetupPacket&, std::uint8_t*, std::uint32_t*) override {
    return false;
  }
  bool DeviceIoControl(Handle device, std::uint32_t ioctl, std::uint8_t* record,
                       std::uint32_t length, std::uint32_t* returned) override {
    wrongCall = wrongCall || device != kRecorderHandle || ioctl != kIoctlCypressEp0Transfer ||
                record == nullptr;
    if (record != nullptr) {
      records.emplace_back(record, record + length);
    }
    if (returned != nullptr) {
      *returned = length;
    }
    return true;
  }

  std::vector<Bytes> records;
  bool wrongCall = false;
};

// A board that is nothing but the FX3 boot ROM.
class RomBoard : public sim::VirtualDevice {
 public:
  sim::UsbId Id() const override { return sim::UsbId{0x04B4, sim::kFx3RomPid}; }
  bool OnCypressRequest(const SetupPacket& setup, const std::uint8_t* data) override {
    const sim::Fx3Rom::Result result = rom.OnRequest(setup, data);
    started = started || result == sim::Fx3Rom::Result::kStart;
    return result != sim::Fx3Rom::Result::kRefused;
  }

  sim::Fx3Rom rom;
  bool started = false;
};

// The loader buffer as LoadFX3BootImage leaves it: malloc'ed at the file's exact length.
void LoadImage(BootLoaderStep& step, const Bytes& image) {
  Payload& loader = step.loaderImage;
  ReleasePayload(loader);
  loader.data = static_cast<std::uint8_t*>(std::malloc(image.empty() ? 1 : image.size()));
  if (!image.empty()) {
    std::memcpy(loader.data, image.data(), image.size());
  }
  loader.length = static_cast<std::uint32_t>(image.size());
}

// The driver record of one chunk, field by field.
void CheckRecord(Findings& f, const Bytes& r, const Chunk& c, const Bytes& image,
                 const std::string& at) {
  if (!f.Expect(r.size() == kHeader + c.length, at + "record size " + std::to_string(r.size()))) {
    return;
  }
  const std::uint32_t address = (std::uint32_t{Le16(&r[4])} << 16) | Le16(&r[2]);
  f.Expect(r[0] == 0x40 && r[1] == 0xA0, at + "not the vendor request 0x40/0xA0");
  f.Expect(address == c.address,
           at + "address " + std::to_string(address) + ", expected " + std::to_string(c.address));
  f.Expect(Le16(&r[6]) == c.length, at + "wLength differs from the data");
  f.Expect(Le32(&r[8]) == 5 && r[12] == 0 && r[13] == 0, at + "time-out or endpoint");
  f.Expect(Le32(&r[14]) == 0 && Le32(&r[18]) == 0 && Le32(&r[22]) == 0 && Le32(&r[26]) == 0,
           at + "status or isochronous fields not zero");
  f.Expect(Le32(&r[30]) == kHeader && Le32(&r[34]) == c.length, at + "buffer offset or length");
  f.Expect(c.length == 0 || std::memcmp(&r[kHeader], &image[c.offset], c.length) == 0,
           at + "data differs from the image");
}

void RunRecorded(Findings& f, const Bytes& image, bool sound, const std::vector<Chunk>& chunks) {
  Bench bench;
  RecordingTransport usb;
  bench.set.usb = &usb;
  bench.Install();
  BootLoaderStep step;
  UpdateSession update;
  update.link.lastOpenedHandle = kRecorderHandle;
  LoadImage(step, image);

  const std::uint32_t result = DoDownloadCypress(step, update);
  f.Expect(!usb.wrongCall, "a request went to another handle or I/O control code");
  if (!sound) {
    f.Expect(result == 0, "a damaged image was accepted");
    f.Expect(usb.records.empty(), "a damaged image was partly sent");
    f.Expect(step.loaderImage.data != nullptr && step.bLoaderDownloadBusy == 1,
             "a refused image did not stay loaded with the busy flag set");
    return;
  }
  f.Expect(result == 1, "a sound image was refused");
  f.Expect(step.loaderImage.data == nullptr && step.bLoaderDownloadBusy == 0,
           "the buffer or the busy flag was kept after a download");
  if (!f.Expect(usb.records.size() == chunks.size(),
                std::to_string(usb.records.size()) + " requests for " +
                    std::to_string(chunks.size()) + " chunks")) {
    return;
  }
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    CheckRecord(f, usb.records[i], chunks[i], image, "request " + std::to_string(i) + ": ");
  }
}

void RunOnRom(Findings& f, const Bytes& image, bool sound, const std::vector<Chunk>& chunks) {
  Bench bench;
  sim::SimUsbTransport usb(bench.bus);
  bench.set.usb = &usb;
  bench.Install();
  auto board = std::make_shared<RomBoard>();
  bench.bus.Plug(board);
  const Handle handle = usb.OpenDevice(bench.bus.UsbInterfacePath(board.get()).c_str());
  if (!f.Expect(handle != kInvalidHandle, "the ROM board cannot be opened")) {
    return;
  }
  BootLoaderStep step;
  UpdateSession update;
  update.link.lastOpenedHandle = handle;
  LoadImage(step, image);

  const std::uint32_t result = DoDownloadCypress(step, update);
  usb.CloseDevice(handle);
  const std::vector<sim::Fx3Rom::Write> writes = board->rom.Writes();
  const std::size_t dataChunks = sound ? chunks.size() - 1 : 0;
  f.Expect(result == 0 || sound, "the ROM took a damaged image");
  f.Expect(writes.size() <= dataChunks, "the ROM took more writes than the image has chunks");
  for (std::size_t i = 0; i < writes.size() && i < dataChunks; ++i) {
    f.Expect(writes[i].address == chunks[i].address && writes[i].length == chunks[i].length,
             "ROM write " + std::to_string(i) + " is not the image's chunk");
  }
  if (result != 1) {
    f.Expect(!sound || (writes.size() < dataChunks && board->rom.RefusedRequests() > 0),
             "the download failed although the ROM took every chunk");
    return;
  }
  f.Expect(writes.size() == dataChunks, "the download succeeded with chunks missing");
  // What RAM must hold: later sections overwrite earlier ones.
  std::map<std::uint32_t, std::uint8_t> expected;
  for (std::size_t i = 0; i < dataChunks; ++i) {
    for (std::uint32_t b = 0; b < chunks[i].length; ++b) {
      expected[chunks[i].address + b] = image[chunks[i].offset + b];
    }
  }
  for (std::size_t i = 0; i < dataChunks; ++i) {
    const std::vector<std::uint8_t> ram = board->rom.Ram(chunks[i].address, chunks[i].length);
    for (std::uint32_t b = 0; b < chunks[i].length; ++b) {
      if (!f.Expect(
              ram[b] == expected[chunks[i].address + b],
              "RAM at " + std::to_string(chunks[i].address + b) + " differs from the image")) {
        return;
      }
    }
  }
}

}  // namespace fx3_boot_image

std::string CheckFx3BootImage(const std::uint8_t* data, std::size_t size) {
  using namespace fx3_boot_image;
  if (size > 0xFFFFFFFFu) {
    return "";
  }
  const Bytes image(data, data + size);
  std::vector<Chunk> chunks;
  const bool sound = ExpectedChunks(image, &chunks);
  Findings f;
  RunRecorded(f, image, sound, chunks);
  RunOnRom(f, image, sound, chunks);
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckFx3BootImage)
