// Windows hands handles and pointers around in integer values (the logic's Handle, WPARAM,
// LPARAM); the dialog adapter turns them back here, in one place.
#pragma once

#include <cstdint>

namespace veltra {

template <typename T, typename Integer>
T FromInteger(Integer value) {
  const auto bits = static_cast<std::uintptr_t>(value);
  return reinterpret_cast<T>(bits);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace veltra
