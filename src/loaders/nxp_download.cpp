// The NXP i.MX RT1060 route, in two stages over the camera library's HID channel:
//  1. DoDownloadNXPCypress: the ROM receives the flash loader over the Serial Download Protocol
//     and jumps to it;
//  2. DoDownloadNXPFirmware: the running flash loader configures the FlexSPI NOR flash, erases it
//     and writes the image, over MCU-Bootloader commands.
// No response is read in either stage: the reports are written and only the delivery results of
// the data reports are looked at.
#include "loaders/nxp_download.h"

#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/ui_texts.h"
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
// The byte count parameter of WriteMemory carries the image length in its low three bytes.
constexpr std::uint32_t kByteCountMask = 0x00FFFFFF;
constexpr std::uint32_t kFinalProperty1 = 0x8380;
constexpr std::uint32_t kFinalProperty2 = 0x3204;
constexpr std::uint32_t kPauseAfterDataMs = 50;

constexpr const wchar_t* kErasingText = L"Erasing Memory...Please Wait...";

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

std::int32_t SendSdp(std::uint8_t (&report)[kSdpReportSize], std::int32_t flag) {
  return CameraLib().sendNXPHidCmd(report, static_cast<std::int32_t>(kSdpReportSize), flag);
}

std::int32_t SendBl(std::uint8_t (&report)[kBlReportSize], std::int32_t flag) {
  return CameraLib().sendNXPHidCmd(report, static_cast<std::int32_t>(kBlReportSize), flag);
}

void SendBlCommand(std::uint8_t (&report)[kBlReportSize], const BlCommand& command) {
  if (command.count == 2) {
    BuildBlCommandReport(report, command.tag, 0, {command.p0, command.p1});
  } else {
    BuildBlCommandReport(report, command.tag, 0, {command.p0, command.p1, command.p2});
  }
  SendBl(report, kFlagCommand);
}

std::uint32_t DataReportCount(std::uint32_t length) {
  return length / kBlMaxPayload + (length % kBlMaxPayload != 0 ? 1 : 0);
}

// The data phase of WriteMemory. A report that is not delivered is not repeated: the flash loader
// then holds less than the image, which nothing here can notice.
void SendImageData(UpdateSession& update, std::uint8_t (&report)[kBlReportSize],
                   const Payload& image) {
  std::uint32_t offset = 0;
  while (offset < image.length) {
    const std::uint32_t left = image.length - offset;
    if (left <= kBlMaxPayload) {
      DebugPrint(1, L"sendNXPHidCmd :: BytesLeft calling.....\n");
    }
    offset += BuildBlDataReport(report, image.data + offset, left);
    if (SendBl(report, kFlagData) != 0) {
      Dialog().SendToDialog(WM_APP_PROGRESS, update.blockCount.load() + 1, 0);
      Sys().Sleep(kPauseAfterDataMs);
    } else {
      DebugPrint(1, L"sendNXPHidCmd Failed..");
    }
    ++update.blockCount;
  }
}

// The camera fell into the ROM during an update, and the ROM cannot be given its flash loader: the
// update cannot go on, and nothing else would end it (the ROM's arrival already stopped the
// mode-switch time-out). End it as a failed update ends: the blink stops, the controls come back
// with EXIT, the user is told, and later arrivals no longer resume it.
void EndUpdateWithoutFlashLoader(UpdateSession& update) {
  if (update.bUpdatedFromHIDMode.exchange(0) == 0) {
    return;  // a ROM found at start-up: no update is waiting for it
  }
  update.EndFailed();
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().SendToDialog(WM_APP_UPDATE_DONE, 0, 0);
  Dialog().MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
}

}  // namespace

std::uint32_t DoDownloadNXPCypress() {
  // Started by the list fill when a ROM appears, which is not always part of an update: the
  // session is consulted only to end an update that was waiting for this camera.
  UpdateSession& update = CurrentUpdate();
  try {
    DebugPrint(1, L"DoDownloadNXPCypress ++\r\n");
    g_bLoaderDownloadBusy = 1;
    // Without a whole flash loader nothing is sent: the ROM would jump into a half-loaded program.
    // The ROM is left untouched and waiting, so the download is over and the next appearance of
    // the ROM (with the file put right) is taken over again.
    if (g_loaderImage.data == nullptr || g_loaderImage.length < kNxpFlashLoaderLength) {
      DebugPrint(1, L"DoDownloadNXPCypress :: no flash loader loaded\r\n");
      ReleasePayload(g_loaderImage);
      g_bLoaderDownloadBusy = 0;
      EndUpdateWithoutFlashLoader(update);
      return 0;
    }
    std::uint8_t sdp[kSdpReportSize];
    BuildSdpCommandReport(sdp, SdpCommand{kSdpErrorStatus, 0, 0, 0, 0});
    SendSdp(sdp, kFlagCommand);
    BuildSdpCommandReport(
        sdp, SdpCommand{kSdpWriteFile, kFlashLoaderAddress, 0, kNxpFlashLoaderLength, 0});
    SendSdp(sdp, kFlagCommand);

    std::uint32_t offset = 0;
    while (offset < g_loaderImage.length) {
      offset += BuildSdpDataReport(sdp, g_loaderImage.data + offset, g_loaderImage.length - offset);
      if (SendSdp(sdp, kFlagData) == 0) {
        DebugPrint(1, L"DoDownloadNXPCypress :: sendNXPHidCmd Failed..\r\n");
      }
    }
    BuildSdpCommandReport(sdp, SdpCommand{kSdpJumpAddress, kFlashLoaderAddress, 0, 0, 0});
    SendSdp(sdp, kFlagCommand);

    // The first MCU-Bootloader command, to reach the flash loader that has just started.
    std::uint8_t command[kBlReportSize];
    BuildBlCommandReport(command, kBlTagGetProperty, 0, {kPropertyCurrentVersion, 0});
    SendBl(command, kFlagCommand);

    ReleasePayload(g_loaderImage);
    g_bLoaderDownloadBusy = 0;
    DebugPrint(1, L"DoDownloadNXPCypress --\r\n");
    return 1;
  } catch (...) {
    DebugPrint(1, L"DoDownloadCypress exception\r\n");
    return 0;
  }
}

int DoDownloadNXPFirmware(UpdateSession& update) {
  // The flash loader takes the byte count in three bytes; a larger image, or none at all, would
  // have the flash erased for a write that cannot be right, so nothing is sent.
  if (imagePart2.data == nullptr || imagePart2.length == 0 || imagePart2.length > kByteCountMask) {
    DebugPrint(1, L"DoDownloadNXPFirmware :: no image of a size the flash loader accepts\n");
    return 0;
  }
  update.blockCount = 0;
  update.bDownloadInProgress = 1;
  DebugPrint(1, L"DoDownloadNXPFirmware ++\n");
  Dialog().KillTimer(IDT_BLINK_ERASE);
  Dialog().ShowItem(IDC_STATIC_UPDATING, true);
  Dialog().SetItemText(IDC_STATIC_STATUS, kErasingText);
  Dialog().SendToDialog(WM_APP_ERASE_START, DataReportCount(imagePart2.length), 0);

  std::uint8_t report[kBlReportSize];
  for (const BlCommand& command : kPrepareFlash) {
    DebugPrint(1, L"%ls", command.trace);
    SendBlCommand(report, command);
  }
  BuildBlCommandReport(report, kBlTagWriteMemory, kBlFlagHasDataPhase,
                       {kImageAddress, imagePart2.length & kByteCountMask, kMemoryIdDefault});
  SendBl(report, kFlagCommand);
  SendImageData(update, report, imagePart2);
  BuildBlCommandReport(report, kBlTagSetProperty, 0, {kFinalProperty1, 0});
  SendBl(report, kFlagCommand);
  BuildBlCommandReport(report, kBlTagSetProperty, 0, {kFinalProperty2, 0});
  SendBl(report, kFlagCommand);

  ReleasePayload(imagePart1);
  update.bDownloadComplete = 1;
  return 1;
}

}  // namespace veltra
