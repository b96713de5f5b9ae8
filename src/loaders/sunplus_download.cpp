#include "loaders/sunplus_download.h"

#include <cstdio>
#include <new>

#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/ui_texts.h"
#include "loaders/sunplus_call.h"
#include "platform/ports.h"

namespace veltra {

Handle g_hSunplusLib = kNullHandle;
PfnSunplusCam_Init g_pfnSunplusCam_Init = nullptr;
PfnSunplusCam_UnInit g_pfnSunplusCam_UnInit = nullptr;
PfnDownload_FW_Verbose g_pfnDownload_FW_Verbose = nullptr;
PfnGet_FlashType g_pfnGet_FlashType = nullptr;
std::uint8_t g_sunplusFlashType = 0;
std::unique_ptr<std::uint8_t[]> g_sunplusImage;
std::uint32_t g_sunplusImageSize = 0;
Flag g_bSunplusDownloadBusy{0};

namespace {

template <typename Pfn>
Pfn Lookup(const char* name) {
  return reinterpret_cast<Pfn>(VendorLib().GetProc(g_hSunplusLib, name));
}

void ClearEntryPoints() {
  g_pfnSunplusCam_Init = nullptr;
  g_pfnSunplusCam_UnInit = nullptr;
  g_pfnDownload_FW_Verbose = nullptr;
  g_pfnGet_FlashType = nullptr;
}

// Closes the camera opened by an earlier download (if any) and frees the library.
void CloseLibrary() {
  if (g_pfnSunplusCam_UnInit != nullptr) {
    CallSunplus(g_pfnSunplusCam_UnInit, 0);
  }
  ClearEntryPoints();
  if (g_hSunplusLib != kNullHandle) {
    VendorLib().Free(g_hSunplusLib);
  }
  g_hSunplusLib = kNullHandle;
}

// Loads the library and opens the camera through it. True when the camera is open and the
// download entry point exists.
bool OpenCamera() {
  g_hSunplusLib = VendorLib().Load(kSunplusLibraryName);
  if (g_hSunplusLib == kNullHandle) {
    DebugPrint(1, L"Load Failed!\r\n");
    return false;
  }
  g_pfnSunplusCam_Init = Lookup<PfnSunplusCam_Init>(kSunplusInitName);
  if (g_pfnSunplusCam_Init == nullptr || CallSunplus(g_pfnSunplusCam_Init, 0) != 0) {
    DebugPrint(1, L"Sunplus camera is NOT found\r\n");
    return false;
  }
  DebugPrint(1, L"Sunplus camera is found, init function pointer.\r\n");
  g_pfnSunplusCam_UnInit = Lookup<PfnSunplusCam_UnInit>(kSunplusUnInitName);
  g_pfnDownload_FW_Verbose = Lookup<PfnDownload_FW_Verbose>(kSunplusDownloadName);
  g_pfnGet_FlashType = Lookup<PfnGet_FlashType>(kSunplusFlashTypeName);
  if (g_pfnDownload_FW_Verbose == nullptr) {
    DebugPrint(1, L"The function pointer of Download_FW_Verbose() is NULL\r\n");
    return false;
  }
  return true;
}

// Reads the whole firmware file into g_sunplusImage. False when it cannot be opened or read
// whole, or holds nothing to download.
bool ReadFirmwareFile() {
  std::FILE* file = Sys().OpenFile(g_szFirmwarePath, "rb");
  if (file == nullptr) {
    return false;
  }
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long length = std::ftell(file);
    if (length > 0 && static_cast<unsigned long>(length) <= 0x7FFFFFFFUL &&
        std::fseek(file, 0, SEEK_SET) == 0) {
      g_sunplusImage.reset();
      g_sunplusImageSize = 0;
      std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[length]);
      if (image != nullptr && std::fread(image.get(), 1, static_cast<std::size_t>(length), file) ==
                                  static_cast<std::size_t>(length)) {
        g_sunplusImage = std::move(image);
        g_sunplusImageSize = static_cast<std::uint32_t>(length);
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

// Starts the download thread; its handle is not kept.
void StartDownloadThread() {
  g_bSunplusDownloadBusy = 1;
  const Handle thread = Sys().StartThread([]() { return DownloadThread(); });
  if (thread == kNullHandle) {
    g_bSunplusDownloadBusy = 0;
    Dialog().MessageBox(kTextThreadFailed, kCaptionError, kMbOk, false);
    return;
  }
  Sys().CloseThread(thread);
  DebugPrint(1, L" DownloadMirelFirmware Successfull  \r\n");
}

}  // namespace

void DownloadMirelFirmware() {
  // The running download still uses the library and the image; a second start must not pull
  // them away from under it.
  if (g_bSunplusDownloadBusy.load() != 0) {
    DebugPrint(1, L"Sunplus download already running\r\n");
    return;
  }
  if (g_pfnSunplusCam_UnInit != nullptr) {
    CloseLibrary();
    DebugPrint(1, L"Sunplus camera uninitial ok.\r\n");
    DebugPrint(1, L"UnInited Device  Successfully   \r\n");
  } else {
    DebugPrint(1, L"Sunplus camera not initial.\r\n");
  }

  if (!OpenCamera()) {
    // Without the library or a camera there is nothing to download to: say so, start nothing.
    CloseLibrary();
    Dialog().MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
    return;
  }

  g_sunplusFlashType = 0;
  DebugPrint(1, L"Entered into Download Firmware\r\n");
  bool download = true;
  if (g_pfnGet_FlashType != nullptr) {
    DebugPrint(1, L"getSFtype is True\r\n");
    if (CallSunplus(g_pfnGet_FlashType, &g_sunplusFlashType) != 0) {
      DebugPrint(1, L"Get flash type fail\r\n");
      download = false;
    }
  } else {
    DebugPrint(1, L"The function pointer of Get_FlashType() is NULL\r\n");
  }
  if (download && ReadFirmwareFile()) {
    StartDownloadThread();
  }
  Dialog().SetItemText(IDC_STATIC_STATUS, kTextErasing);
}

std::uint32_t DownloadThread() {
  DebugPrint(1, L"Entered into DownloadThread \r\n");
  const std::int32_t result = CallSunplus(
      g_pfnDownload_FW_Verbose, g_sunplusImage.get(), static_cast<std::int32_t>(g_sunplusImageSize),
      g_sunplusFlashType, 0, 0, 0, 0, 1, 0, &SunplusProgressCallback, 0);
  if (result == 0) {
    DebugPrint(1, L"download ok\r\n");
    DebugPrint(1, L"Download progress finished,\r\n you need re-init device before access.\r\n");
    Dialog().MessageBox(kTextDownloadSucceeded, kCaptionSuccess, kMbIconWarning);
  } else {
    DebugPrint(1, L"download fail\r\n");
    DialogView& dialog = Dialog();
    dialog.SetItemText(IDC_EDIT_FIRMWARE_PATH, L"");
    dialog.EnableItem(IDC_BTN_EXIT, true);
    dialog.EnableItem(IDC_EDIT_FIRMWARE_PATH, false);
    dialog.EnableItem(IDC_STATIC_SELECT_FILE, false);
    dialog.EnableItem(IDC_BTN_READFW_VERSION, false);
    dialog.ShowItem(IDC_STATIC_UPDATING, false);
    dialog.ShowItem(IDC_STATIC_MODE_SWITCH, false);
    dialog.ShowItem(IDC_STATIC_STATUS, false);
    dialog.ShowItem(IDC_PROGRESS_BAR, false);
    dialog.MessageBox(kTextDownloadFailed, kCaptionError, kMbIconError);
    DebugPrint(1, L"Download progress finished,\r\n you need re-init device before access.\r\n");
  }
  g_bSunplusDownloadBusy = 0;
  return 0;
}

std::int32_t VELTRA_CDECL SunplusProgressCallback(std::int32_t percent) {
  const auto wParam = static_cast<std::uintptr_t>(
      static_cast<std::uint32_t>(static_cast<std::int64_t>(percent) + 1));
  return static_cast<std::int32_t>(Dialog().SendToDialog(WM_APP_PERCENT, wParam, 0));
}

void ResetSunplusState() {
  if (ports().vendor != nullptr) {
    CloseLibrary();
  } else {
    ClearEntryPoints();
    g_hSunplusLib = kNullHandle;
  }
  g_sunplusFlashType = 0;
  g_sunplusImage.reset();
  g_sunplusImageSize = 0;
  g_bSunplusDownloadBusy = 0;
}

}  // namespace veltra
