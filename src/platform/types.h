// Basic types shared by the program logic and every port. No OS header may be included here.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace veltra {

// An OS object as the logic sees it: a file, a WinUSB interface, a thread, an event, a window.
// 0 means "none"; kInvalidHandle is the all-ones value that Windows calls INVALID_HANDLE_VALUE.
using Handle = std::uintptr_t;
constexpr Handle kNullHandle = 0;
constexpr Handle kInvalidHandle = ~static_cast<Handle>(0);

// Shared 32-bit flags and counters. The system treats them as plain 0/1 integers shared between
// threads without locks; atomics keep that meaning without a data race.
using Flag = std::atomic<std::int32_t>;

// Fixed text sizes (wide characters, terminator included).
constexpr std::size_t kPathChars = 260;

}  // namespace veltra
