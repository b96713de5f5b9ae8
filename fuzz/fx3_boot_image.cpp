// Fuzz target: the FX3 boot image as DoDownloadCypress parses and sends it.
//
// The input is the boot image, put into the loader buffer as LoadFX3BootImage leaves it, and sent
// over the bench's USB transport to a board with the FX3 boot ROM model, which takes the driver's
// records apart and refuses writes outside its RAM. A damaged image must be refused with not one
// request sent, the buffer released, the busy flag cleared and the ROM's handle closed (the list
// holds the ROM until it leaves). What the ROM took of a sound one must be
// a prefix of the image's chunks (its sections in pieces of at most 2048 bytes, addresses
// advancing); after a success it took them all, started at the entry address, holds the sections
// in its RAM, and the buffer is released and the busy flag cleared. The layout is worked out here
// from the image itself, independently of ParseFx3BootImage.
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
  step.fx3Link.lastOpenedHandle = handle;
  step.bLoaderDownloadBusy = 1;  // as the take-over leaves it for the thread
  LoadImage(step, image);

  const std::uint32_t result = DoDownloadCypress(step, update);
  f.Expect(usb.OpenFileHandles() == 0, "the ROM's handle was left open");
  const std::vector<sim::Fx3Rom::Write> writes = board->rom.Writes();
  if (!sound) {
    f.Expect(result == 0, "a damaged image was accepted");
    f.Expect(writes.empty() && board->rom.RefusedRequests() == 0 && !board->started,
             "a damaged image was partly sent");
    f.Expect(step.loaderImage.data == nullptr && step.bLoaderDownloadBusy == 0,
             "a refused image was kept, or the busy flag with it");
    return;
  }
  const std::size_t dataChunks = chunks.size() - 1;
  f.Expect(writes.size() <= dataChunks, "the ROM took more writes than the image has chunks");
  for (std::size_t i = 0; i < writes.size() && i < dataChunks; ++i) {
    f.Expect(writes[i].address == chunks[i].address && writes[i].length == chunks[i].length,
             "ROM write " + std::to_string(i) + " is not the image's chunk");
  }
  if (result != 1) {
    f.Expect(writes.size() < dataChunks && board->rom.RefusedRequests() > 0,
             "a sound image failed without the ROM refusing a write");
    return;
  }
  f.Expect(step.loaderImage.data == nullptr && step.bLoaderDownloadBusy == 0,
           "the buffer or the busy flag was kept after a download");
  // The entry request went out last: the ROM starts there when it lies in what was loaded.
  const std::uint32_t entry = chunks.back().address;
  bool entryLoaded = false;
  for (std::size_t i = 0; i < dataChunks; ++i) {
    entryLoaded = entryLoaded || entry - chunks[i].address < chunks[i].length;
  }
  f.Expect(entryLoaded ? board->started && board->rom.EntryAddress() == entry
                       : board->rom.RefusedRequests() == 1,
           "the entry request did not reach the ROM");
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
  RunOnRom(f, image, sound, chunks);
  return f.Result();
}

}  // namespace veltra::fuzz

VELTRA_FUZZ_TARGET(veltra::fuzz::CheckFx3BootImage)
