// The two loader files beside the executable. Only one is held at a time, in the
// update session's loader buffer.
//
// A load that fails for any reason leaves no loader buffer at all. The device list starts the
// boot-loader download whatever the load returned, and the downloads refuse to run without a
// loaded buffer; a buffer left over from the other route (the FX3 boot image when the NXP flash
// loader was wanted, or the other way round) would otherwise be sent to the wrong chip. An empty
// loader file is refused for the same reason: there would be nothing to start on the chip, and so
// is a flash loader that cannot fill the count the ROM is told to expect, or that overruns it.
#include "image/loader_files.h"

#include <cstdio>
#include <cwchar>

#include "core/debug_trace.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {

constexpr const wchar_t* kTraceEmptyLoader = L"Loader file is empty....\r\n";
constexpr const wchar_t* kTraceFlashLoaderSize = L"Flash loader file has the wrong size....\r\n";
// The chip's ROM is given time to settle after the flash loader has been read.
constexpr std::uint32_t kNxpLoaderWaitMs = 5000;

// Builds "<executable's directory>\<name>" in path: the executable's path is cut after its last
// backslash and the name appended. A name that does not fit whole is not tried: a cut name could
// open some other file.
bool BuildLoaderPath(const wchar_t* name, wchar_t (&path)[kPathChars]) {
  Sys().GetModuleFileName(path, kPathChars);
  const long cut = static_cast<long>(ExeDirLength(path)) + 1;
  if (cut < 0 || cut >= static_cast<long>(kPathChars)) {
    return false;
  }
  path[cut] = L'\0';
  const std::size_t room = kPathChars - static_cast<std::size_t>(cut);
  if (std::wcslen(name) >= room) {
    return false;
  }
  CopyText(path + cut, room, name);
  return true;
}

LoaderFileProblem LoadLoaderFile(const wchar_t* name, Payload& image) {
  switch (ReadLoaderFile(name, image)) {
    case LoaderRead::kMissing:
    case LoaderRead::kUnreadable:
      return LoaderFileProblem::kMissing;
    case LoaderRead::kEmpty:
      DebugPrint(1, kTraceEmptyLoader);
      return LoaderFileProblem::kEmpty;
    case LoaderRead::kRead:
      break;
  }
  return LoaderFileProblem::kNone;
}

}  // namespace

LoaderRead ReadLoaderFile(const wchar_t* name, Payload& image) {
  ReleasePayload(image);
  wchar_t path[kPathChars] = {};
  std::FILE* file = BuildLoaderPath(name, path) ? Sys().OpenFile(path, "rb") : nullptr;
  if (file == nullptr) {
    return LoaderRead::kMissing;
  }
  const bool read = ReadWholeFile(file, image);
  std::fclose(file);
  if (!read) {
    return LoaderRead::kUnreadable;
  }
  if (image.length == 0) {
    ReleasePayload(image);
    return LoaderRead::kEmpty;
  }
  return LoaderRead::kRead;
}

int ExeDirLength(const wchar_t* exePath) {
  const wchar_t* lastSlash = nullptr;
  for (const wchar_t* p = exePath; *p != L'\0'; ++p) {
    if (*p == L'\\') {
      lastSlash = p;
    }
  }
  return lastSlash == nullptr ? -1 : static_cast<int>(lastSlash - exePath);
}

void LoaderProblemText(LoaderFileProblem problem, const wchar_t* fileName, std::uint32_t length,
                       wchar_t* text, std::size_t textChars) {
  switch (problem) {
    case LoaderFileProblem::kEmpty:
      FormatText(text, textChars, kTextLoaderEmpty,
                 std::wcscmp(fileName, kNxpFlashLoaderName) == 0 ? L"flash loader" : L"boot image",
                 fileName);
      return;
    case LoaderFileProblem::kWrongSize:
      FormatText(text, textChars, kTextFlashLoaderSize, fileName, kNxpFlashLoaderShortest,
                 kNxpFlashLoaderLength, length);
      return;
    case LoaderFileProblem::kMissing:
    case LoaderFileProblem::kNone:
      break;
  }
  FormatText(text, textChars, L"%ls", kTextCheckFilePath);
}

LoaderFileProblem LoadFX3BootImage(Payload& image) {
  return LoadLoaderFile(kFx3BootImageName, image);
}

LoaderFileProblem LoadNXPFlashLoader(Payload& image, std::uint32_t* fileLength) {
  const LoaderFileProblem problem = LoadLoaderFile(kNxpFlashLoaderName, image);
  if (fileLength != nullptr) {
    *fileLength = image.length;
  }
  if (problem != LoaderFileProblem::kNone) {
    return problem;
  }
  if (!NxpFlashLoaderLengthFits(image.length)) {
    DebugPrint(1, kTraceFlashLoaderSize);
    ReleasePayload(image);
    return LoaderFileProblem::kWrongSize;
  }
  Sys().Sleep(kNxpLoaderWaitMs);
  return LoaderFileProblem::kNone;
}

}  // namespace veltra
