// Reading a firmware or loader file whole into memory.
#include <cstdio>

#include "core/debug_trace.h"
#include "image/image_internal.h"

namespace veltra {

namespace {
constexpr const wchar_t* kTraceNoMemory = L"Memory Allocation FAiled..\r\n";
constexpr const wchar_t* kTraceReadFailed = L"Reading from file failed....\r\n";
}  // namespace

bool ReadWholeFile(std::FILE* file, Payload& out) {
  ReleasePayload(out);
  if (file == nullptr) {
    DebugPrint(1, kTraceReadFailed);
    return false;
  }
  // A length that cannot be told, or that does not fit the 32-bit lengths the program works
  // with, counts as a failed read.
  if (std::fseek(file, 0, SEEK_END) != 0) {
    DebugPrint(1, kTraceReadFailed);
    return false;
  }
  const long end = std::ftell(file);
  if (end < 0 || static_cast<unsigned long long>(end) > 0xFFFFFFFFull ||
      std::fseek(file, 0, SEEK_SET) != 0) {
    DebugPrint(1, kTraceReadFailed);
    return false;
  }
  const auto length = static_cast<std::uint32_t>(end);
  if (!AllocatePayload(out, nullptr, length)) {
    DebugPrint(1, kTraceNoMemory);
    return false;
  }
  if (length != 0 && std::fread(out.data, 1, length, file) != length) {
    DebugPrint(1, kTraceReadFailed);
    ReleasePayload(out);
    return false;
  }
  return true;
}

}  // namespace veltra
