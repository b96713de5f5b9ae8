// The NXP i.MX RT1060 route, in two stages over the camera library's HID channel:
//  1. DoDownloadNXPCypress: the ROM receives the flash loader over the Serial Download Protocol
//     and jumps to it;
//  2. DoDownloadNXPFirmware: the running flash loader configures the FlexSPI NOR flash, erases it
//     and writes the image, over MCU-Bootloader commands.
// Every report's delivery is looked at: a report that is not delivered ends its stage at once,
// and nothing more is sent, as the device would otherwise take a half-sent load or image for a
// whole one. The ROM's answers are not read. The flash loader's are, through the program's own
// read handle on its HID interface: a command that prepares, erases or writes the flash must be
// answered with success, or the flash may not hold the image although every report went out (a
// flash loader in its error state drops commands it was delivered).
#include "loaders/nxp_download.h"

#include "core/debug_trace.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "dfu/download_engines.h"
#include "image/firmware_image.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"
#include "loaders/nxp_reports.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr std::int32_t kFlagCommand = 1;
constexpr std::int32_t kFlagData = 0;

// Stage 1: where the flash loader goes. The ROM is told to expect kNxpFlashLoaderLength bytes, the
// size of the flash loader the chip vendor's tools produce, whatever the file's length.
constexpr std::uint32_t kFlashLoaderAddress = 0x20001000;

// Stage 2: MCU-Bootloader property IDs, memory IDs, addresses and sizes.
constexpr std::uint32_t kPropertyCurrentVersion = 1;
constexpr std::uint32_t kPropertyMaxPacketSize = 11;
constexpr std::uint32_t kMemoryIdDefault = 0;
constexpr std::uint32_t kMemoryIdFlexSpiNor = 9;
constexpr std::uint32_t kConfigBlockAddress = 0x2000;
constexpr std::uint32_t kConfigOption1Address = 0x2004;
constexpr std::uint32_t kFcbOptionAddress = 0x3000;
constexpr std::uint32_t kNorConfigOption0 = 0xC0000001;  // FlexSPI NOR configuration option
constexpr std::uint32_t kNorConfigOption1 = 0;
constexpr std::uint32_t kProgramFcbOption = 0xF000000F;  // write the boot configuration block
constexpr std::uint32_t kFillWordBytes = 4;
constexpr std::uint32_t kFlashBase = 0x60000000;
constexpr std::uint32_t kEraseBytes = 100000;
constexpr std::uint32_t kImageAddress = 0x60001000;
static_assert(kNxpFlashLoaderReportBytes == kSdpPayloadSize,
              "the flash loader's accepted lengths are counted in SDP data reports");
static_assert(kNxpImageLimit == kEraseBytes - (kImageAddress - kFlashBase),
              "the image limit is what the erased region holds behind the image's offset");
// The byte count parameter of WriteMemory carries the image length in its low three bytes.
constexpr std::uint32_t kByteCountMask = 0x00FFFFFF;
constexpr std::uint32_t kFinalProperty1 = 0x8380;
constexpr std::uint32_t kFinalProperty2 = 0x3204;
constexpr std::uint32_t kPauseAfterDataMs = 50;
// How long the flash loader is given to answer a command: as long as the command can take, and
// the time-out of an answer on top. Erasing the image region can take up to 30 s; every other
// command is done at once.
constexpr std::uint32_t kAnswerTimeoutMs = 5000;
constexpr std::uint32_t kEraseRegionMaxMs = 30000;

std::uint32_t AnswerWaitMs(std::uint8_t commandTag) {
  return commandTag == kBlTagFlashEraseRegion ? kEraseRegionMaxMs + kAnswerTimeoutMs
                                              : kAnswerTimeoutMs;
}

// The commands before WriteMemory, each preceded by its trace line.
struct BlCommand {
  const wchar_t* trace;
  std::uint32_t p0;
  std::uint32_t p1;
  std::uint32_t p2;
  std::uint8_t tag;
  std::uint8_t count;
};
constexpr BlCommand kPrepareFlash[] = {
    {L"\nsendNXPHidCmd CMD_TAG_GETPROPERTY ..", kPropertyCurrentVersion, 0, 0, kBlTagGetProperty,
     2},
    {L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY ..", kConfigBlockAddress, kFillWordBytes,
     kNorConfigOption0, kBlTagFillMemory, 3},
    {L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY2 ..", kConfigOption1Address, kFillWordBytes,
     kNorConfigOption1, kBlTagFillMemory, 3},
    {L"\nsendNXPHidCmd CMD_TAG_CONFIGMEMORY ..", kMemoryIdFlexSpiNor, kConfigBlockAddress, 0,
     kBlTagConfigureMemory, 2},
    {L"\nsendNXPHidCmd CMD_TAG_FLASH_ERASE_REGION ..", kFlashBase, kEraseBytes, kMemoryIdDefault,
     kBlTagFlashEraseRegion, 3},
    {L"\nsendNXPHidCmd CMD_TAG_FILLMEMORY3 ..", kFcbOptionAddress, kFillWordBytes,
     kProgramFcbOption, kBlTagFillMemory, 3},
    {L"\nsendNXPHidCmd CMD_TAG_CONFIGMEMORY2 ..", kMemoryIdFlexSpiNor, kFcbOptionAddress, 0,
     kBlTagConfigureMemory, 2},
    {L"\nsendNXPHidCmd CMD_TAG_WRITEMEMORY ..", kPropertyMaxPacketSize, 0, 0, kBlTagGetProperty, 2},
};

// The program's read handle on the flash loader's HID interface, for as long as stage 2 runs;
// its queue is emptied as it opens, so that the first answer read is the first command's.
class LoaderAnswers {
 public:
  // The HID interface of the flash loader the update took (its USB device's path): found through
  // that parent device, whatever serial the flash loader reports.
  explicit LoaderAnswers(const wchar_t* loaderDevicePath)
      : handle_(HidIn().OpenHidInput(loaderDevicePath)) {}
  ~LoaderAnswers() {
    if (handle_ != kNullHandle) {
      HidIn().CloseHidInput(handle_);
    }
  }
  LoaderAnswers(const LoaderAnswers&) = delete;
  LoaderAnswers& operator=(const LoaderAnswers&) = delete;

  bool Open() const { return handle_ != kNullHandle; }
  // Reads the next answer: true when it is success to the command with this tag. No answer within
  // the time-out, a failed read or any other answer is false. Without a read handle nothing can
  // be read, and the reports go as they are written.
  bool Succeeded(std::uint8_t commandTag) {
    if (!Open()) {
      return true;
    }
    std::uint8_t answer[kBlReportSize] = {};
    const std::uint32_t read =
        HidIn().ReadInputReport(handle_, answer, sizeof answer, AnswerWaitMs(commandTag));
    if (BlAnswerIsSuccess(answer, read, commandTag)) {
      return true;
    }
    DebugPrint(1, L"DoDownloadNXPFirmware :: no success answer to command 0x%02X\n", commandTag);
    return false;
  }

 private:
  Handle handle_;
};

std::int32_t SendSdp(std::uint8_t (&report)[kSdpReportSize], std::int32_t flag) {
  return CameraLib().sendNXPHidCmd(report, static_cast<std::int32_t>(kSdpReportSize), flag);
}

std::int32_t SendBl(std::uint8_t (&report)[kBlReportSize], std::int32_t flag) {
  return CameraLib().sendNXPHidCmd(report, static_cast<std::int32_t>(kBlReportSize), flag);
}

bool SendBlCommand(std::uint8_t (&report)[kBlReportSize], const BlCommand& command) {
  if (command.count == 2) {
    BuildBlCommandReport(report, command.tag, 0, {command.p0, command.p1});
  } else {
    BuildBlCommandReport(report, command.tag, 0, {command.p0, command.p1, command.p2});
  }
  return SendBl(report, kFlagCommand) != 0;
}

std::uint32_t DataReportCount(std::uint32_t length) {
  return length / kBlMaxPayload + (length % kBlMaxPayload != 0 ? 1 : 0);
}

// The data phase of WriteMemory. A report that is not delivered is not repeated: the flash loader
// would then hold less than the image, so the data phase ends there.
bool SendImageData(UpdateSession& update, std::uint8_t (&report)[kBlReportSize],
                   const ByteView& image) {
  std::uint32_t offset = 0;
  while (offset < image.length) {
    const std::uint32_t left = image.length - offset;
    if (left <= kBlMaxPayload) {
      DebugPrint(1, L"sendNXPHidCmd :: BytesLeft calling.....\n");
    }
    offset += BuildBlDataReport(report, image.data + offset, left);
    if (SendBl(report, kFlagData) == 0) {
      DebugPrint(1, L"sendNXPHidCmd Failed..");
      return false;
    }
    update.Observer().OnProgress(update.blockCount.load() + 1);
    Sys().Sleep(kPauseAfterDataMs);
    ++update.blockCount;
  }
  return true;
}

// Stage 1 after the checks: error status, write-file, the flash loader's data, the jump, and the
// first command to the flash loader. False at the first report not delivered; the ROM then has
// not jumped (or the flash loader was not reached) and the stage is over.
bool SendFlashLoader(const Payload& loader) {
  std::uint8_t sdp[kSdpReportSize];
  BuildSdpCommandReport(sdp, SdpCommand{kSdpErrorStatus, 0, 0, 0, 0});
  if (SendSdp(sdp, kFlagCommand) == 0) {
    return false;
  }
  BuildSdpCommandReport(
      sdp, SdpCommand{kSdpWriteFile, kFlashLoaderAddress, 0, kNxpFlashLoaderLength, 0});
  if (SendSdp(sdp, kFlagCommand) == 0) {
    return false;
  }
  std::uint32_t offset = 0;
  while (offset < loader.length) {
    offset += BuildSdpDataReport(sdp, loader.data + offset, loader.length - offset);
    if (SendSdp(sdp, kFlagData) == 0) {
      return false;
    }
  }
  BuildSdpCommandReport(sdp, SdpCommand{kSdpJumpAddress, kFlashLoaderAddress, 0, 0, 0});
  if (SendSdp(sdp, kFlagCommand) == 0) {
    return false;
  }
  // The first MCU-Bootloader command, to reach the flash loader that has just started. Its outcome
  // is not examined: the ROM leaves the bus as it jumps, and the flash loader arrives as a new
  // device, so this report may well find no one; the flash loader's arrival resumes the update.
  std::uint8_t command[kBlReportSize];
  BuildBlCommandReport(command, kBlTagGetProperty, 0, {kPropertyCurrentVersion, 0});
  SendBl(command, kFlagCommand);
  return true;
}

// The download is over and the wait for the chip's restart begins. The wait is armed before the
// download's flags are cleared, so that a removal handled in between is never taken for one
// outside the update.
void AwaitNxpCameraRestart(UpdateSession& update) {
  DebugPrint(1, L"DoDownloadNXPFirmware :: waiting for the camera to restart\n");
  update.Advance(UpdatePhase::kAwaitingRestart);  // timer 2 bounds the wait
  update.ClearDownload();
  update.bUpdatedFromHIDMode = 0;
  update.bIsStartUpdatedFromDFU = 0;
}

// Stage 2 after the checks: prepare the flash, WriteMemory with its data phase, and the closing
// properties. False at the first report not delivered, and at the first command before the
// closing properties that is not answered with success: WriteMemory is answered twice, before its
// data phase (go ahead) and after it (the data is written). The closing properties' answers are
// not waited for: the image is whole by then, and the last one restarts the chip.
bool SendImage(UpdateSession& update, const ByteView& image, LoaderAnswers& answers) {
  std::uint8_t report[kBlReportSize];
  for (const BlCommand& command : kPrepareFlash) {
    DebugPrint(1, L"%ls", command.trace);
    if (!SendBlCommand(report, command) || !answers.Succeeded(command.tag)) {
      return false;
    }
  }
  BuildBlCommandReport(report, kBlTagWriteMemory, kBlFlagHasDataPhase,
                       {kImageAddress, image.length & kByteCountMask, kMemoryIdDefault});
  if (SendBl(report, kFlagCommand) == 0 || !answers.Succeeded(kBlTagWriteMemory) ||
      !SendImageData(update, report, image) || !answers.Succeeded(kBlTagWriteMemory)) {
    return false;
  }
  BuildBlCommandReport(report, kBlTagSetProperty, 0, {kFinalProperty1, 0});
  if (SendBl(report, kFlagCommand) == 0) {
    return false;
  }
  // The last property ends the flash loader's session and the chip restarts at once, so the wait
  // for its return is armed first: the arrival may be handled before this thread goes on.
  AwaitNxpCameraRestart(update);
  BuildBlCommandReport(report, kBlTagSetProperty, 0, {kFinalProperty2, 0});
  if (SendBl(report, kFlagCommand) == 0) {
    // A report the chip took may still be answered "not delivered" (it restarted under the
    // write): its return decides, as after a delivered one.
    DebugPrint(1,
               L"DoDownloadNXPFirmware :: the last report was not delivered; the camera's "
               L"return decides\n");
  }
  return true;
}

}  // namespace

namespace {
// An update waits for its camera or talks to it.
bool UpdateUnderWay(const UpdateSession& update) {
  return update.bUpdatedFromHIDMode.load() != 0 || update.bWorkerRunning.load() != 0 ||
         update.DownloadInProgress();
}
}  // namespace

std::uint32_t DoDownloadNXPCypress(BootLoaderStep& step, UpdateSession& update) {
  try {
    DebugPrint(1, L"DoDownloadNXPCypress ++\r\n");
    // Without a whole flash loader nothing is sent: the ROM would jump into a half-loaded program.
    // (The take-over refuses such a file before the thread starts; this guards the buffer.)
    if (step.loaderImage.data == nullptr || !NxpFlashLoaderLengthFits(step.loaderImage.length)) {
      DebugPrint(1, L"DoDownloadNXPCypress :: no flash loader loaded\r\n");
      ReleasePayload(step.loaderImage);
      EndLoaderDownload(step, update, false);
      return 0;
    }
    if (!SendFlashLoader(step.loaderImage)) {
      // The ROM keeps waiting with part of a load; as after a failed FX3 load it is held until it
      // has left the bus, so a re-plug brings it back to be loaded anew.
      DebugPrint(1, L"DoDownloadNXPCypress :: sendNXPHidCmd Failed..\r\n");
      ReleasePayload(step.loaderImage);
      EndLoaderDownload(step, update, false);
      return 0;
    }
    ReleasePayload(step.loaderImage);
    // The NXP route is armed for the update whose camera came back in this ROM, and for the next
    // update when none runs (the flash loader is listed, and Browse offers *.bin first). A ROM
    // beside another camera's update, or one that failed, leaves that update's route alone.
    if (step.romOfUpdate.load() != 0 || !UpdateUnderWay(update)) {
      update.bNXPMode = 1;
    }
    EndLoaderDownload(step, update, true);
    DebugPrint(1, L"DoDownloadNXPCypress --\r\n");
    return 1;
  } catch (...) {
    DebugPrint(1, L"DoDownloadCypress exception\r\n");
    EndLoaderDownload(step, update, false);
    return 0;
  }
}

bool NxpImageFits(const ParsedImage* image) {
  return image == nullptr || image->part2.length <= kNxpImageLimit;
}

int DoDownloadNXPFirmware(UpdateSession& update) {
  // An image that is missing, empty or longer than the erased region holds would have the flash
  // erased for a write that cannot be right, so nothing is sent.
  const std::shared_ptr<const ParsedImage> selected = SelectedImage(update);
  if (selected == nullptr || selected->part2.data == nullptr || selected->part2.length == 0 ||
      !NxpImageFits(selected.get())) {
    DebugPrint(1, L"DoDownloadNXPFirmware :: no image of a size the flash loader accepts\n");
    return 0;
  }
  const ByteView& image = selected->part2;
  update.blockCount = 0;
  // The flash loader erases as part of its write: no erase blink, the erase start's text stays.
  update.Advance(UpdatePhase::kWriting);
  DebugPrint(1, L"DoDownloadNXPFirmware ++\n");
  update.Observer().OnEraseStart(DataReportCount(image.length));

  // The library may hold the flash loader's HID device without sharing: then the reports go
  // without their answers. A command the flash loader refused goes unseen, and a camera that
  // refused the write comes back running its old firmware, so its return cannot confirm the
  // write: the update ends with kTextWrittenUnconfirmed instead of the success message.
  LoaderAnswers answers(update.szTakenDevicePath);
  update.bAnswersUnread = answers.Open() ? 0 : 1;
  if (!answers.Open()) {
    DebugPrint(1,
               L"DoDownloadNXPFirmware :: the flash loader's answers cannot be read; writing "
               L"without them\n");
  }
  if (!SendImage(update, image, answers)) {
    DebugPrint(1, L"DoDownloadNXPFirmware :: a report was not delivered or not answered\n");
    return 0;
  }
  return 1;
}

}  // namespace veltra
