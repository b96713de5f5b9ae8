// The debug trace: formatted lines on the system debugger channel (OutputDebugStringW on Windows;
// the bench captures them so that tests can assert on lines).
//
// Format strings are wide printf formats. Wide string arguments are written "%ls" so that the
// same format means the same thing under the Microsoft and the C99 runtime.
#pragma once

#include "platform/types.h"

namespace veltra {

// Size of the trace buffer: at most kTraceBufferChars - 2 characters are written; the last
// character is always 0.
constexpr std::size_t kTraceBufferChars = 2048;

// Formats into the trace buffer and hands it to the debugger channel when enable is non-zero.
// Each thread has a buffer of its own, so that lines written by two threads at once stay whole
// (and free of a data race); nothing depends on the trace.
void DebugPrint(int enable, const wchar_t* format, ...);

// Writes the text unformatted to the debugger channel.
void RawTrace(const wchar_t* text);

}  // namespace veltra
