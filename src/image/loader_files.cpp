// The two loader files beside the executable. Only one is held at a time, in g_loaderImage.
//
// A load that fails for any reason leaves no loader buffer at all. The device list starts the
// boot-loader download whatever the load returned, and the downloads refuse to run without a
// loaded buffer; a buffer left over from the other route (the FX3 boot image when the NXP flash
// loader was wanted, or the other way round) would otherwise be sent to the wrong chip. An empty
// loader file is refused for the same reason: there would be nothing to start on the chip, and so
// is a flash loader shorter than the count the ROM is told to expect, which the ROM would never
// see complete.
#include "image/loader_files.h"

#include <cstdio>
#include <cwchar>

#include "core/app_state.h"
#include "core/debug_trace.h"
#include "core/text.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kTextCheckPath = L"Check File Path!";
constexpr const wchar_t* kCaptionError = L"Error";
constexpr const wchar_t* kTraceEmptyLoader = L"Loader file is empty....\r\n";
constexpr const wchar_t* kTraceShortFlashLoader = L"Flash loader file is too short....\r\n";
// The chip's ROM is given time to settle after the flash loader has been read.
constexpr std::uint32_t kNxpLoaderWaitMs = 5000;

// Builds "<executable's directory>\<name>" in g_szExePath itself: the path is cut after the last
// backslash and the name appended, so every later use cuts it again at the same place. A name that
// does not fit whole is not tried: a cut name could open some other file.
bool BuildLoaderPath(const wchar_t* name) {
  const long cut = static_cast<long>(g_exeDirLength) + 1;
  if (cut < 0 || cut >= static_cast<long>(kPathChars)) {
    return false;
  }
  g_szExePath[cut] = L'\0';
  const std::size_t room = kPathChars - static_cast<std::size_t>(cut);
  if (std::wcslen(name) >= room) {
    return false;
  }
  CopyText(g_szExePath + cut, room, name);
  return true;
}

int LoadLoaderFile(const wchar_t* name) {
  ReleasePayload(g_loaderImage);
  std::FILE* file = BuildLoaderPath(name) ? Sys().OpenFile(g_szExePath, "rb") : nullptr;
  if (file == nullptr) {
    Dialog().MessageBox(kTextCheckPath, kCaptionError, kMbIconExclamation);
    return 0;
  }
  const bool read = ReadWholeFile(file, g_loaderImage);
  std::fclose(file);
  if (!read) {
    return 0;
  }
  if (g_loaderImage.length == 0) {
    DebugPrint(1, kTraceEmptyLoader);
    ReleasePayload(g_loaderImage);
    return 0;
  }
  return 1;
}

}  // namespace

int LoadFX3BootImage() {
  return LoadLoaderFile(kFx3BootImageName);
}

int LoadNXPFlashLoader() {
  if (LoadLoaderFile(kNxpFlashLoaderName) != 1) {
    return 0;
  }
  if (g_loaderImage.length < kNxpFlashLoaderLength) {
    DebugPrint(1, kTraceShortFlashLoader);
    ReleasePayload(g_loaderImage);
    return 0;
  }
  g_bNXPMode = 1;
  Sys().Sleep(kNxpLoaderWaitMs);
  return 1;
}

}  // namespace veltra
