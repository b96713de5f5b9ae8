#include "core/debug_trace.h"

#include <cstdarg>
#include <cwchar>

#include "platform/ports.h"

namespace veltra {

void DebugPrint(int enable, const wchar_t* format, ...) {
  if (enable == 0 || format == nullptr) {
    return;
  }
  // The line is formatted on the caller's stack: lines written by two threads at once can
  // neither mix nor race, and each keeps the same size and cut.
  wchar_t line[kTraceBufferChars] = {};
  va_list args;
  va_start(args, format);
  // At most kTraceBufferChars - 2 characters plus the terminator go into the buffer.
  const int written = std::vswprintf(line, kTraceBufferChars - 1, format, args);
  va_end(args);
  if (written < 0 || written >= static_cast<int>(kTraceBufferChars - 2)) {
    line[kTraceBufferChars - 2] = L'\0';
  }
  line[kTraceBufferChars - 1] = L'\0';
  if (ports().system != nullptr) {
    Sys().DebugOutput(line);
  }
}

void RawTrace(const wchar_t* text) {
  if (text != nullptr && ports().system != nullptr) {
    Sys().DebugOutput(text);
  }
}

}  // namespace veltra
