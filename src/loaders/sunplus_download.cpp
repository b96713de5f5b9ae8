#include "loaders/sunplus_download.h"

#include <cstdio>
#include <new>

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/update_controller.h"
#include "core/update_session.h"
#include "image/loader_files.h"
#include "loaders/sunplus_call.h"
#include "platform/ports.h"

namespace veltra {

SunplusDownload::~SunplusDownload() {
  // Without the vendor door (a test tearing down its bench) the library is gone already.
  if (ports().vendor == nullptr) {
    return;
  }
  if (pfnSunplusCam_UnInit != nullptr) {
    CallSunplus(pfnSunplusCam_UnInit, 0);
  }
  if (hSunplusLib != kNullHandle) {
    VendorLib().Free(hSunplusLib);
  }
}

namespace {

template <typename Pfn>
Pfn Lookup(const SunplusDownload& download, const char* name) {
  return reinterpret_cast<Pfn>(VendorLib().GetProc(download.hSunplusLib, name));
}

// Loads the library and opens the camera through it. kStarted when the camera is open and the
// download entry point exists.
SunplusStart OpenCamera(SunplusDownload& download) {
  download.hSunplusLib = VendorLib().Load(kSunplusLibraryName);
  if (download.hSunplusLib == kNullHandle) {
    DebugPrint(1, L"Load Failed!\r\n");
    return SunplusStart::kLibraryMissing;
  }
  download.pfnSunplusCam_Init = Lookup<PfnSunplusCam_Init>(download, kSunplusInitName);
  if (download.pfnSunplusCam_Init == nullptr || CallSunplus(download.pfnSunplusCam_Init, 0) != 0) {
    DebugPrint(1, L"Sunplus camera is NOT found\r\n");
    return SunplusStart::kCameraNotFound;
  }
  DebugPrint(1, L"Sunplus camera is found, init function pointer.\r\n");
  download.pfnSunplusCam_UnInit = Lookup<PfnSunplusCam_UnInit>(download, kSunplusUnInitName);
  download.pfnDownload_FW_Verbose = Lookup<PfnDownload_FW_Verbose>(download, kSunplusDownloadName);
  download.pfnGet_FlashType = Lookup<PfnGet_FlashType>(download, kSunplusFlashTypeName);
  if (download.pfnDownload_FW_Verbose == nullptr) {
    DebugPrint(1, L"The function pointer of Download_FW_Verbose() is NULL\r\n");
    return SunplusStart::kNoDownloadEntry;
  }
  return SunplusStart::kStarted;
}

// Reads the whole firmware file into the download's image. False when it cannot be opened or read
// whole, or holds nothing to download.
bool ReadFirmwareFile(SunplusDownload& download, const wchar_t* path) {
  std::FILE* file = Sys().OpenFile(path, "rb");
  if (file == nullptr) {
    return false;
  }
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long length = std::ftell(file);
    if (length > 0 && static_cast<unsigned long>(length) <= 0x7FFFFFFFUL &&
        std::fseek(file, 0, SEEK_SET) == 0) {
      std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[length]);
      if (image != nullptr && std::fread(image.get(), 1, static_cast<std::size_t>(length), file) ==
                                  static_cast<std::size_t>(length)) {
        download.sunplusImage = std::move(image);
        download.sunplusImageSize = static_cast<std::uint32_t>(length);
        ok = true;
      }
    }
  }
  std::fclose(file);
  if (!ok) {
    DebugPrint(1, L"Reading from file failed....\r\n");
  }
  return ok;
}

// Starts the download thread, which holds the download while it runs; its handle is not kept.
SunplusStart StartDownloadThread(UpdateSession& update,
                                 const std::shared_ptr<SunplusDownload>& download) {
  update.bSunplusDownloadBusy = 1;
  const Handle thread =
      Sys().StartThread([download, &update]() { return DownloadThread(*download, update); });
  if (thread == kNullHandle) {
    update.bSunplusDownloadBusy = 0;
    return SunplusStart::kNoThread;
  }
  Sys().CloseThread(thread);
  DebugPrint(1, L" DownloadMirelFirmware Successfull  \r\n");
  return SunplusStart::kStarted;
}

constexpr const wchar_t* kTextLibraryMissing =
    L"SunplusCamera.dll could not be loaded. It was looked for in the program's folder (%ls) and "
    L"in the Windows system folder (System32).\r\nPlease put SunplusCamera.dll next to the "
    L"program and try again. Nothing was written to the camera.";
constexpr const wchar_t* kTextCameraNotFound =
    L"SunplusCamera.dll found no camera to update. Nothing was written to the camera.\r\nPlease "
    L"re-plug the camera and try again.";
constexpr const wchar_t* kTextNoDownloadEntry =
    L"SunplusCamera.dll has no Download_FW_Verbose: it cannot update the camera. Nothing was "
    L"written to the camera.\r\nPlease put the right SunplusCamera.dll next to the program.";
constexpr const wchar_t* kTextFlashTypeFailed =
    L"SunplusCamera.dll could not read the camera's flash type. Nothing was written to the "
    L"camera.\r\nPlease re-plug the camera and try again.";
constexpr const wchar_t* kTextFileUnreadable =
    L"The firmware file could not be read. Nothing was written to the camera.\r\nPlease choose "
    L"the file again.";
constexpr const wchar_t* kTextDownloadRunning =
    L"A firmware download is still running. Please wait until it has ended.";
constexpr const wchar_t* kTextNoThread = L"Could'nt Create Thread";

// The message of a start refused for a reason that needs no detail filled in; empty for a start
// that went ahead.
const wchar_t* StartRefusalText(SunplusStart start) {
  switch (start) {
    case SunplusStart::kCameraNotFound:
      return kTextCameraNotFound;
    case SunplusStart::kNoDownloadEntry:
      return kTextNoDownloadEntry;
    case SunplusStart::kFlashTypeFailed:
      return kTextFlashTypeFailed;
    case SunplusStart::kFileUnreadable:
      return kTextFileUnreadable;
    case SunplusStart::kBusy:
      return kTextDownloadRunning;
    case SunplusStart::kNoThread:
      return kTextNoThread;
    case SunplusStart::kLibraryMissing:
    case SunplusStart::kStarted:
      break;
  }
  return L"";
}

}  // namespace

void SunplusStartText(SunplusStart start, wchar_t* text, std::size_t textChars) {
  if (start == SunplusStart::kLibraryMissing) {
    wchar_t folder[kPathChars] = {};
    Sys().GetModuleFileName(folder, kPathChars);
    folder[kPathChars - 1] = L'\0';
    const int cut = ExeDirLength(folder);
    folder[cut < 0 ? 0 : cut] = L'\0';
    FormatText(text, textChars, kTextLibraryMissing, folder);
    return;
  }
  FormatText(text, textChars, L"%ls", StartRefusalText(start));
}

SunplusStart DownloadMirelFirmware(UpdateSession& update) {
  // The running download still uses the library and the image; a second start must not pull
  // them away from under it.
  if (update.bSunplusDownloadBusy.load() != 0) {
    DebugPrint(1, L"Sunplus download already running\r\n");
    return SunplusStart::kBusy;
  }
  const bool cameraOpen =
      update.sunplus != nullptr && update.sunplus->pfnSunplusCam_UnInit != nullptr;
  if (update.sunplus != nullptr && !cameraOpen) {
    // Without a camera to close the library stays loaded, as it always has: only a download
    // that opened a camera gives the library back before the next load.
    update.sunplus->hSunplusLib = kNullHandle;
  }
  // The last download's camera is closed and its library freed before the next one is loaded.
  update.sunplus.reset();
  if (cameraOpen) {
    DebugPrint(1, L"Sunplus camera uninitial ok.\r\n");
    DebugPrint(1, L"UnInited Device  Successfully   \r\n");
  } else {
    DebugPrint(1, L"Sunplus camera not initial.\r\n");
  }

  auto download = std::make_shared<SunplusDownload>();
  const SunplusStart opened = OpenCamera(*download);
  if (opened != SunplusStart::kStarted) {
    // Without the library or a camera there is nothing to download to: start nothing.
    download.reset();
    return opened;
  }
  update.sunplus = download;

  DebugPrint(1, L"Entered into Download Firmware\r\n");
  if (download->pfnGet_FlashType != nullptr) {
    DebugPrint(1, L"getSFtype is True\r\n");
    if (CallSunplus(download->pfnGet_FlashType, &download->sunplusFlashType) != 0) {
      DebugPrint(1, L"Get flash type fail\r\n");
      return SunplusStart::kFlashTypeFailed;
    }
  } else {
    DebugPrint(1, L"The function pointer of Get_FlashType() is NULL\r\n");
  }
  if (!ReadFirmwareFile(*download, update.szFirmwarePath)) {
    return SunplusStart::kFileUnreadable;
  }
  return StartDownloadThread(update, download);
}

std::uint32_t DownloadThread(SunplusDownload& download, UpdateSession& update) {
  DebugPrint(1, L"Entered into DownloadThread \r\n");
  const std::int32_t result =
      CallSunplus(download.pfnDownload_FW_Verbose, download.sunplusImage.get(),
                  static_cast<std::int32_t>(download.sunplusImageSize), download.sunplusFlashType,
                  0, 0, 0, 0, 1, 0, &SunplusProgressCallback, 0);
  if (result == 0) {
    DebugPrint(1, L"download ok\r\n");
    DebugPrint(1, L"Download progress finished,\r\n you need re-init device before access.\r\n");
    update.Observer().OnDone(UpdateOutcome::kLibrarySucceeded, nullptr);
  } else {
    DebugPrint(1, L"download fail\r\n");
    update.Observer().OnDone(UpdateOutcome::kLibraryFailed, nullptr);
    DebugPrint(1, L"Download progress finished,\r\n you need re-init device before access.\r\n");
  }
  // The download is over and told: the handlers that stood aside meanwhile look at the bus
  // again, and the list is rebuilt (the camera restarted on what it was given).
  update.bSunplusDownloadBusy = 0;
  update.Observer().OnLibraryDownloadEnded();
  return 0;
}

std::int32_t VELTRA_CDECL SunplusProgressCallback(std::int32_t percent) {
  // The library calls back with nothing but the percentage: the program's session is found here.
  // The percentage goes on as the library gave it, whatever its range.
  const auto passed = static_cast<std::uint32_t>(percent);
  return static_cast<std::int32_t>(CurrentUpdate().Observer().OnPercent(passed));
}

void ResetSunplusState(UpdateSession& update) {
  update.sunplus.reset();
  update.bSunplusDownloadBusy = 0;
}

}  // namespace veltra
