// Sunplus route: cameras of the Mirel family are updated through the chip vendor's library
// SunplusCamera.dll, loaded at run time. The program opens the camera through it, reads the whole
// firmware file and lets the library download it on a thread of its own, relaying the library's
// progress to the dialog as WM_APP_PERCENT.
#pragma once

#include <cstdint>
#include <memory>

#include "core/update_session.h"
#include "platform/types.h"

// The entry points are declared cdecl, but every call goes through CallSunplus
// (loaders/sunplus_call.h), which is sound under stdcall as well. The progress callback the
// library calls back is ours and stays cdecl: the library must call it that way.
#if defined(_WIN32) && defined(__i386__)
#define VELTRA_CDECL __attribute__((cdecl))
#else
#define VELTRA_CDECL
#endif

namespace veltra {

constexpr const wchar_t* kSunplusLibraryName = L"SunplusCamera.dll";
constexpr const char* kSunplusInitName = "SunplusCam_Init";
constexpr const char* kSunplusUnInitName = "SunplusCam_UnInit";
constexpr const char* kSunplusDownloadName = "Download_FW_Verbose";
constexpr const char* kSunplusFlashTypeName = "Get_FlashType";

extern "C" {
// 0: a Sunplus camera was found and opened.
using PfnSunplusCam_Init = std::int32_t(VELTRA_CDECL*)(std::int32_t reserved);
using PfnSunplusCam_UnInit = std::int32_t(VELTRA_CDECL*)(std::int32_t reserved);
// 0: the flash type was written.
using PfnGet_FlashType = std::int32_t(VELTRA_CDECL*)(std::uint8_t* flashType);
// The progress callback: the percentage the library reached.
using PfnSunplusProgress = std::int32_t(VELTRA_CDECL*)(std::int32_t percent);
// 0: the download succeeded. Arguments: image, its length, flash type, four zeros, one, zero,
// the progress callback, zero.
using PfnDownload_FW_Verbose = std::int32_t(VELTRA_CDECL*)(
    std::uint8_t* image, std::int32_t length, std::int32_t flashType, std::int32_t reserved4,
    std::int32_t reserved5, std::int32_t reserved6, std::int32_t reserved7, std::int32_t one8,
    std::int32_t zero9, PfnSunplusProgress progress, std::int32_t zero11);
}

// One download's library state: the library, its entry points, the camera opened through it and
// the image read for it. Filled on the dialog thread before the download thread starts, which
// holds its own reference while it runs; the update session keeps it until the next download
// begins. Its end closes the camera (when one was opened) and frees the library.
class SunplusDownload {
 public:
  SunplusDownload() = default;
  ~SunplusDownload();
  SunplusDownload(const SunplusDownload&) = delete;
  SunplusDownload& operator=(const SunplusDownload&) = delete;
  SunplusDownload(SunplusDownload&&) = delete;
  SunplusDownload& operator=(SunplusDownload&&) = delete;

  Handle hSunplusLib = kNullHandle;
  PfnSunplusCam_Init pfnSunplusCam_Init = nullptr;
  PfnSunplusCam_UnInit pfnSunplusCam_UnInit = nullptr;  // set: a camera was opened through it
  PfnDownload_FW_Verbose pfnDownload_FW_Verbose = nullptr;
  PfnGet_FlashType pfnGet_FlashType = nullptr;
  std::uint8_t sunplusFlashType = 0;
  std::unique_ptr<std::uint8_t[]> sunplusImage;
  std::uint32_t sunplusImageSize = 0;
};

// How a start of the Sunplus route went: the thread started, or why not.
enum class SunplusStart : std::uint8_t {
  kStarted,
  kBusy,             // a download thread still runs
  kLibraryMissing,   // SunplusCamera.dll could not be loaded
  kCameraNotFound,   // the library opened no camera (SunplusCam_Init missing or not 0)
  kNoDownloadEntry,  // the library has no Download_FW_Verbose
  kFlashTypeFailed,  // Get_FlashType did not answer 0
  kFileUnreadable,   // the firmware file could not be read whole, or is empty
  kNoThread,         // no thread could be created
};
// The message for a start that did not happen (kStarted: none), written into text. The missing
// library's names it and the folders it was looked for in (the program's, then System32: the
// program restricts the search to them).
void SunplusStartText(SunplusStart start, wchar_t* text, std::size_t textChars);

// Opens the camera through the library, reads the session's szFirmwarePath and starts
// DownloadThread. Nothing is shown here: the caller tells the user why a start did not happen.
// The session's bSunplusDownloadBusy is set from before the thread starts until it has told how
// the download ended.
SunplusStart DownloadMirelFirmware(UpdateSession& update);
// The download thread's body; how it ended goes to the session's observer.
std::uint32_t DownloadThread(SunplusDownload& download, UpdateSession& update);
// The progress callback handed to the library: WM_APP_PERCENT with percent + 1.
std::int32_t VELTRA_CDECL SunplusProgressCallback(std::int32_t percent);

// Closes the camera, frees the library and the image of the last download (a fresh process;
// tests).
void ResetSunplusState(UpdateSession& update);

}  // namespace veltra
