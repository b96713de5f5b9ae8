// The download engines. All three follow one pattern: send a block, then poll the device status
// until it reports dfuDNLOAD-IDLE before the next block; progress and phases go to the session's
// observer. Every engine sends from the selected image, which it holds while it sends.
#include "dfu/download_engines.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_session.h"
#include "dfu/dfu_requests.h"
#include "image/firmware_image.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::uint8_t kStateDnloadIdle = 5;
constexpr std::uint8_t kStateError = 10;
constexpr std::uint32_t kMcuVerifyWaitMs = 10000;

// The second pass pads a last block whose length is a non-zero multiple of the 64-byte packet
// size with one 0xFF byte, so that its data stage never ends on a full packet.
constexpr std::uint32_t kPacketSize = 64;
constexpr std::uint8_t kPadByte = 0xFF;

// A safety net for a clock that does not move: the time limits are the rule, this only keeps a
// broken clock from turning the wait into an endless loop.
constexpr std::uint64_t kStatusPollHardLimit = 1000000;

// What an engine sends when nothing is selected: no blocks at all.
const ParsedImage kNoImage{};

std::uint32_t BlockCountOf(const ByteView& payload) {
  return (payload.length + kBlockSize - 1) / kBlockSize;
}

std::uint32_t BlockLength(const ByteView& payload, std::uint32_t index) {
  return std::min(kBlockSize, payload.length - index * kBlockSize);
}

void WriteStatusText(UpdateSession& update) {
  FormatText(update.statusText, kStatusTextChars, L"UpdateFirmware : bState = %d \r\n",
             static_cast<int>(update.link.dfu_status.bState));
}

// After a confirmed block: progress with the count including this block; the download is past
// its erase once the first block of the download has been confirmed.
void ConfirmBlock(UpdateSession& update, bool firstOfDownload) {
  update.Observer().OnProgress(update.blockCount.load() + 1);
  if (firstOfDownload) {
    update.Advance(UpdatePhase::kWriting);
  }
  ++update.blockCount;
}

enum class WaitRule { kOrdinary, kFirstBlock };

// Polls the status until the device reports dfuDNLOAD-IDLE, and gives up at once when it reports
// dfuERROR. The ordinary rule gives up on the first failed read; the first-block rule retries
// failed reads at once, up to 1000 in a row, whatever time they cost (an unanswered read costs its
// 5 s time-out). Busy answers are bounded by kStatusBusyLimitMs of their own time, so a two-minute
// erase is waited out, and the whole wait by kBlockWaitLimitMs.
bool WaitForDownloadIdle(DfuLink& link, WaitRule rule) {
  const std::uint64_t start = Sys().NowMs();
  std::uint64_t busyMs = 0;
  int consecutiveFailures = 0;
  for (std::uint64_t reads = 0; reads < kStatusPollHardLimit; ++reads) {
    const std::uint64_t before = Sys().NowMs();
    const bool answered = GetStatus(link, &link.dfu_status) != 0;
    const std::uint64_t now = Sys().NowMs();
    if (!answered) {
      if (rule == WaitRule::kOrdinary) {
        return false;
      }
      DebugPrint(1, L"FirstTimeGetstatus::Getstatus failed \n");
      if (++consecutiveFailures >= kFirstBlockStatusRetries) {
        return false;
      }
    } else {
      consecutiveFailures = 0;
      if (link.dfu_status.bState == kStateDnloadIdle) {
        return true;
      }
      if (link.dfu_status.bState == kStateError) {
        // The camera refused the block: no amount of waiting brings it back to dfuDNLOAD-IDLE.
        DebugPrint(1, L"WaitForDownloadIdle:: device reports dfuERROR ++\n");
        return false;
      }
      busyMs += now - before;
      if (busyMs >= kStatusBusyLimitMs) {
        break;
      }
    }
    if (now - start >= kBlockWaitLimitMs) {
      break;
    }
  }
  DebugPrint(1, L"WaitForDownloadIdle:: device stayed in state %d ++\n",
             static_cast<int>(link.dfu_status.bState));
  return false;
}

// Sends a payload in 1024-byte blocks through the staging block with one of the data requests,
// each followed by the ordinary status wait. The failure traces are those of the MCU engine's
// image phase, shared by the FPGA engine and the first pass.
using StagingSend = int (*)(DfuLink& link, std::uint32_t length);

int SendFromStaging(DfuLink& link, std::uint32_t length) {
  return SendData(link, link.stagingBlock, length);
}

bool SendBlocks(UpdateSession& update, const ByteView& payload, StagingSend send,
                bool firstIsFirstOfDownload) {
  const std::uint32_t blocks = BlockCountOf(payload);
  for (std::uint32_t k = 0; k < blocks; ++k) {
    const std::uint32_t length = BlockLength(payload, k);
    std::memcpy(update.link.stagingBlock, payload.data + k * kBlockSize, length);
    if (send(update.link, length) == 0) {
      DebugPrint(1, L"dodownload::SendData failed  ++\n");
      // Read once more for the trace; the engine fails anyway.
      GetStatus(update.link, &update.link.dfu_status);
      return false;
    }
    if (!WaitForDownloadIdle(update.link, WaitRule::kOrdinary)) {
      DebugPrint(1, L"dodownload::Getstatus failed  ++\n");
      return false;
    }
    ConfirmBlock(update, firstIsFirstOfDownload && k == 0);
  }
  return true;
}

void TraceVerifyStatus(const DfuLink& link) {
  DebugPrint(1, L"dfu_status.bStatus = %d  dfu_status.bState = %d\r\n",
             static_cast<int>(link.dfu_status.bStatus), static_cast<int>(link.dfu_status.bState));
}

bool SendMcuText(UpdateSession& update, const ByteView& text, const std::vector<McuChunk>& chunks) {
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const McuChunk& chunk = chunks[i];
    std::memset(update.link.stagingBlock, 0, sizeof update.link.stagingBlock);
    std::memcpy(update.link.stagingBlock, text.data + chunk.offset, chunk.length);
    if (SendDataMCUData(update.link, chunk.length) == 0) {
      DebugPrint(1, L"dodownload :: SendData failed in else part  ++\n");
      WriteStatusText(update);
      return false;
    }
    const bool first = i == 0;
    if (!WaitForDownloadIdle(update.link, first ? WaitRule::kFirstBlock : WaitRule::kOrdinary)) {
      DebugPrint(1, first ? L"dodownload::FirstTimeGetstatus failed in if part ++\n"
                          : L"dodownload::Getstatus failed in else part ++\n");
      return false;
    }
    ConfirmBlock(update, first);
  }
  return true;
}

int FirstPass(UpdateSession& update, const ParsedImage& image) {
  update.blockCount = 0;
  update.Advance(UpdatePhase::kErasing);
  DebugPrint(1, L"DoDownload :: writing first part of the image  ++\n");
  update.pass = PassStep::kFirstPartWritten;
  update.Observer().OnEraseStart(BlockCountOf(image.part1) + BlockCountOf(image.part2));

  if (update.bCombinedImage.load() != 0) {
    // Only the first pass after a new selection erases: a repeated first pass must not wipe
    // what the camera already holds of this file again.
    DebugPrint(1, L"DoDownload CombinedImage Found and gonna erase the image\r\n");
    update.bCombinedImage = 0;
    if (EraseCombinedImage(update.link) != 0) {
      DebugPrint(1, L"DoDownload::EraseCombinedImage success\r\n");
    } else {
      DebugPrint(1, L"DoDownload::EraseCombinedImage failed\r\n");
    }
  } else {
    DebugPrint(1, L"DoDownload CombinedImage not found\r\n");
  }

  if (!SendBlocks(update, image.part1, SendFromStaging, true)) {
    return 0;
  }
  DebugPrint(1, L"DoDownload :: written first part of the image  ++\n");
  DebugPrint(1, L"DoDownload --\n");
  return 1;
}

// Copies the k-th block of the second pass into block (the other loops send from the staging
// block); the length it goes out with (r + 1 for a padded last block).
std::uint32_t SecondPassBlock(const ByteView& payload, std::uint32_t k,
                              std::uint8_t (&block)[kBlockSize]) {
  const std::uint32_t length = BlockLength(payload, k);
  std::memcpy(block, payload.data + k * kBlockSize, length);
  if (length < kBlockSize && length % kPacketSize == 0) {
    block[length] = kPadByte;  // length <= 960 here, so the byte fits the block
    return length + 1;
  }
  return length;
}

int SecondPass(UpdateSession& update, const ParsedImage& image, bool freshStart) {
  const std::uint8_t imageType = image.imageType;
  update.Advance(UpdatePhase::kErasing);
  DebugPrint(1, L"DoDownload :: writing second part of the image  ++\n");
  update.pass = PassStep::kNone;
  update.bDFUOpened = 0;
  if (imageType == 3 || (imageType == 1 && freshStart)) {
    // A fresh total: the count starts over with it, so the percentage stays within 100.
    update.blockCount = 0;
    update.Observer().OnEraseStart(BlockCountOf(image.part2));
  }

  const std::uint32_t blocks = BlockCountOf(image.part2);
  std::uint8_t block[kBlockSize] = {};
  for (std::uint32_t k = 0; k < blocks; ++k) {
    const std::uint32_t length = SecondPassBlock(image.part2, k, block);
    if (SendData(update.link, block, length) == 0) {
      DebugPrint(1, L"dodownload :: SendData failed in else part  ++\n");
      WriteStatusText(update);
      return 0;
    }
    const bool first = k == 0;
    if (!WaitForDownloadIdle(update.link, first ? WaitRule::kFirstBlock : WaitRule::kOrdinary)) {
      DebugPrint(1, first ? L"dodownload::FirstTimeGetstatus failed in else part ++\n"
                          : L"dodownload::Getstatus failed in else part ++\n");
      return 0;
    }
    ConfirmBlock(update, first);
  }
  DebugPrint(1, L"DoDownload :: written second part of the image  ++\n");
  update.Advance(UpdatePhase::kSent);
  DebugPrint(1, L"DoDownload --\n");
  return 1;
}

}  // namespace

int DoDownloadMCUFirmware(UpdateSession& update) {
  update.blockCount = 0;
  update.Advance(UpdatePhase::kErasing);
  DebugPrint(1, L"DoDownloadMCUFirmware ++\n");
  const std::shared_ptr<const ParsedImage> selected = SelectedImage(update);
  const ParsedImage& image = selected != nullptr ? *selected : kNoImage;
  const std::vector<McuChunk>& chunks = image.mcuChunks;
  update.Observer().OnEraseStart(static_cast<std::uint32_t>(chunks.size()) +
                                 BlockCountOf(image.part2));

  if (!SendMcuText(update, image.part1, chunks)) {
    return 0;
  }

  update.Advance(UpdatePhase::kVerifying);
  DebugPrint(1, L"SendDataMCUVerifyFlashRequest ++\n");
  if (update.link.winUSBHandle.load() == kInvalidHandle) {
    DebugPrint(1, L"dodownload::SendDataMCUVerifyFlashRequest:: Invalid Handle ++\n");
    DebugPrint(1, L"DoDownloadMCUFirmware :: SendDataMCUVerifyFlashRequest failed ++\n");
    return 0;
  }
  SendDataMCUVerifyFlashRequest(update.link);  // only the status read that follows decides
  Sys().Sleep(kMcuVerifyWaitMs);
  const int verified = ReadMCUVerifyStatus(update.link, &update.link.dfu_status);
  TraceVerifyStatus(update.link);
  if (verified == 0) {
    DebugPrint(1, L"DoDownloadMCUFirmware :: SendDataMCUVerifyFlashRequest failed ++\n");
    return 0;
  }
  // Without MCU text the first image block is the first block of the download.
  update.Advance(chunks.empty() ? UpdatePhase::kErasing : UpdatePhase::kWriting);

  if (!SendBlocks(update, image.part2, SendFromStaging, chunks.empty())) {
    return 0;
  }
  update.Advance(UpdatePhase::kSent);
  return 1;
}

int DoDownloadFPGAFirmware(UpdateSession& update) {
  update.blockCount = 0;
  // The FPGA engine shows no erase: the erase blink stops at once, and the camera checks that its
  // FPGA region is ready before anything is sent.
  update.Advance(UpdatePhase::kWriting);
  DebugPrint(1, L"DoDownloadFPGAFirmware ++\n");
  update.Advance(UpdatePhase::kVerifying);
  DebugPrint(1, L"SendDataFGPAVerifyFlashRequest ++\n");
  if (update.link.winUSBHandle.load() == kInvalidHandle) {
    DebugPrint(1, L"dodownload::SendDataFGPAVerifyFlashRequest:: Invalid Handle ++\n");
    DebugPrint(1, L"DoDownloadFGPAFirmware :: SendDataFGPAVerifyFlashRequest failed ++\n");
    return 0;
  }
  SendDataFGPAVerifyFlashRequest(update.link);
  const int verified = ReadFPGAVerifyStatus(update.link, &update.link.dfu_status);
  TraceVerifyStatus(update.link);
  if (verified == 0) {
    DebugPrint(1, L"DoDownloadFGPAFirmware :: SendDataFGPAVerifyFlashRequest failed ++\n");
    return 0;
  }
  update.Advance(UpdatePhase::kErasing);

  const std::shared_ptr<const ParsedImage> selected = SelectedImage(update);
  const ParsedImage& image = selected != nullptr ? *selected : kNoImage;
  update.Observer().OnEraseStart(BlockCountOf(image.part1) + BlockCountOf(image.part2));
  if (!SendBlocks(update, image.part1, SendDataFPGAData, true)) {
    return 0;
  }
  if (!SendBlocks(update, image.part2, SendFromStaging, false)) {
    return 0;
  }
  update.Advance(UpdatePhase::kSent);
  return 1;
}

DownloadPass ChooseDownloadPass(std::uint8_t imageType, const PassRoute& route) {
  const bool twoPassType = imageType == 1 || imageType == 2 || imageType == 3;
  switch (route.step) {
    case PassStep::kFirstPartWritten:
      // An unmarked image has a second pass only where the update opened the camera itself.
      return twoPassType || route.dfuOpened ? DownloadPass::kSecond : DownloadPass::kNone;
    case PassStep::kFirstPartNext:
      return DownloadPass::kFirst;
    case PassStep::kNone:
      break;
  }
  switch (imageType) {
    case 2:
      return route.dfuOpened ? DownloadPass::kSecond : DownloadPass::kFirst;
    case 1:
      return route.dfuOpened || route.freshStart ? DownloadPass::kSecond : DownloadPass::kFirst;
    case 3:
      return DownloadPass::kSecond;
    default:
      return route.dfuOpened ? DownloadPass::kSecond : DownloadPass::kNone;
  }
}

int DoDownload(UpdateSession& update) {
  DebugPrint(1, L"DoDownload ++\n");
  const std::shared_ptr<const ParsedImage> selected = SelectedImage(update);
  const ParsedImage& image = selected != nullptr ? *selected : kNoImage;
  const PassRoute route = update.Pass();
  switch (ChooseDownloadPass(image.imageType, route)) {
    case DownloadPass::kFirst:
      return FirstPass(update, image);
    case DownloadPass::kSecond:
      return SecondPass(update, image, route.freshStart);
    case DownloadPass::kNone:
      break;
  }
  DebugPrint(1, L"DoDownload --\n");
  return 1;
}

}  // namespace veltra
