// The firmware file the user picked (the application's Browse asks for it), read whole and parsed
// into the selection. The file never stays open, and a file that is refused leaves nothing
// selected.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "core/debug_trace.h"
#include "core/text.h"
#include "image/firmware_image.h"
#include "image/image_internal.h"
#include "platform/ports.h"

namespace veltra {

namespace {

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
int SelectFromFile(UpdateSession& update, std::FILE* file, FileProblem* problem) {
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
      *problem = FileProblem{FileProblem::Kind::kUnknownImageType, result.imageType};
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

int SelectFirmwareFile(UpdateSession& update, const wchar_t* path, FileProblem* problem) {
  *problem = FileProblem{};
  // From here on the path box names the new file, so the earlier image goes whatever becomes of
  // this one: an update must never send it as if it were this file. Letting it go before the read
  // also keeps one file's bytes in memory at a time.
  SelectImage(update, nullptr);
  std::FILE* file = Sys().OpenFile(path, "rb");
  if (file == nullptr) {
    *problem = FileProblem{FileProblem::Kind::kCannotOpen, 0};
    return kBrowseFailed;
  }
  const int result = SelectFromFile(update, file, problem);
  std::fclose(file);
  return result;
}

}  // namespace veltra
