// The browse command: the user picks a firmware file, which is read whole and parsed into the
// selection. The file never stays open, and a file that is refused leaves nothing selected.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "core/debug_trace.h"
#include "core/resource_ids.h"
#include "core/text.h"
#include "core/ui_texts.h"
#include "core/update_controller.h"
#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {
// OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR
constexpr std::uint32_t kOpenFileFlags = 0x1808;
constexpr const wchar_t* kTextUnknownImageType =
    L"This firmware file cannot be used: its image type is %d, and only image types 1, 2 and 3 "
    L"can be written.\r\nPlease choose another firmware file.";
constexpr std::size_t kMessageChars = 256;

constexpr const wchar_t* kTraceNoMemory = L"Memory Allocation FAiled..\r\n";
constexpr const wchar_t* kTraceUnmarked = L"Substring not found for Image1....\r\n";

struct RefusalTrace {
  ImageRefusal reason;
  const wchar_t* text;
};
// Why a file was refused, as the trace tells it.
constexpr RefusalTrace kRefusalTraces[] = {
    {ImageRefusal::kEmptyFile, L"Firmware file is empty....\r\n"},
    {ImageRefusal::kNoImgSection, L"Substring not found for kwipIMG section....\r\n"},
    {ImageRefusal::kNoImageType, L"No image type byte before Image1....\r\n"},
    {ImageRefusal::kUnknownImageType, L"Unknown image type %d before Image1....\r\n"},
    {ImageRefusal::kNoSecondImage, L"Substring not found for Image2....\r\n"},
    {ImageRefusal::kSectionPastEnd, L"%ls section runs past the end of the file....\r\n"},
    {ImageRefusal::kMcuLineTooLong, L"MCU line of 1024 bytes or more cannot be sent....\r\n"},
};

void TraceRefusal(const ParseResult& result) {
  for (const RefusalTrace& trace : kRefusalTraces) {
    if (trace.reason != result.refusal) {
      continue;
    }
    if (result.refusal == ImageRefusal::kSectionPastEnd) {
      DebugPrint(1, trace.text, result.section != nullptr ? result.section : L"");
    } else if (result.refusal == ImageRefusal::kUnknownImageType) {
      DebugPrint(1, trace.text, static_cast<int>(result.imageType));
    } else {
      DebugPrint(1, trace.text);
    }
  }
}

// Reads and parses the open file into the selection.
int SelectFromFile(UpdateSession& update, std::FILE* file) {
  Payload contents;
  if (!ReadWholeFile(file, contents)) {
    return kBrowseFailed;
  }
  const std::uint32_t length = contents.length;
  std::uint8_t* const data = std::exchange(contents.data, nullptr);
  std::shared_ptr<const std::uint8_t> owner;
  try {
    owner = std::shared_ptr<const std::uint8_t>(data, std::free);
  } catch (const std::bad_alloc&) {
    // The constructor that failed has already freed data through its deleter.
    DebugPrint(1, kTraceNoMemory);
    return kBrowseFailed;
  }

  ParseResult result = ParseFirmwareFile(std::move(owner), length);
  if (!result.image) {
    TraceRefusal(result);
    if (result.refusal == ImageRefusal::kUnknownImageType) {
      wchar_t text[kMessageChars] = {};
      FormatText(text, kMessageChars, kTextUnknownImageType, static_cast<int>(result.imageType));
      Dialog().MessageBox(text, kCaptionError, kMbIconError);
      return kBrowseRefused;
    }
    return kBrowseFailed;
  }
  if (result.image->kind == ImageKind::kUnmarked) {
    DebugPrint(1, kTraceUnmarked);
  }
  try {
    SelectImage(update, std::make_shared<const ParsedImage>(std::move(*result.image)));
  } catch (const std::bad_alloc&) {
    DebugPrint(1, kTraceNoMemory);
    return kBrowseFailed;
  }
  return kBrowseDone;
}

}  // namespace

int Browse(UpdateSession& update, bool binFirst) {
  update.bCombinedImage = 0;

  OpenFileRequest request;
  request.binFirst = binFirst;
  request.flags = kOpenFileFlags;
  wchar_t path[kPathChars] = {};
  if (!Dialog().OpenFileDialog(request, path, kPathChars, update.szFirmwareTitle, kPathChars)) {
    return kBrowseCancelled;
  }
  Dialog().SetItemText(IDC_EDIT_FIRMWARE_PATH, path);

  // From here on the path box names the new file, so the earlier image goes whatever becomes of
  // this one: an update must never send it as if it were this file. Letting it go before the read
  // also keeps one file's bytes in memory at a time.
  SelectImage(update, nullptr);
  std::FILE* file = Sys().OpenFile(path, "rb");
  if (file == nullptr) {
    Dialog().MessageBox(kTextCheckFilePath, kCaptionError, kMbIconExclamation);
    return kBrowseFailed;
  }
  const int result = SelectFromFile(update, file);
  std::fclose(file);
  return result;
}

}  // namespace veltra
