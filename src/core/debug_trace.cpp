#include "core/debug_trace.h"

#include <cstdarg>
#include <cwchar>

#include "platform/ports.h"

namespace veltra {

namespace {
// One buffer per thread: lines written by two threads at once can neither mix nor race, and each
// keeps the same size and cut.
thread_local wchar_t g_traceBuffer[kTraceBufferChars];
}  // namespace

void DebugPrint(int enable, const wchar_t* format, ...) {
  if (enable == 0 || format == nullptr) {
    return;
  }
  va_list args;
  va_start(args, format);
  // At most kTraceBufferChars - 2 characters plus the terminator go into the buffer.
  const int written = std::vswprintf(g_traceBuffer, kTraceBufferChars - 1, format, args);
  va_end(args);
  if (written < 0 || written >= static_cast<int>(kTraceBufferChars - 2)) {
    g_traceBuffer[kTraceBufferChars - 2] = L'\0';
  }
  g_traceBuffer[kTraceBufferChars - 1] = L'\0';
  if (ports().system != nullptr) {
    Sys().DebugOutput(g_traceBuffer);
  }
}

void RawTrace(const wchar_t* text) {
  if (text != nullptr && ports().system != nullptr) {
    Sys().DebugOutput(text);
  }
}

}  // namespace veltra
