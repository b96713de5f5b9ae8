// Multi-byte fields in byte buffers: the firmware file headers, the FX3 driver records and the
// MCU-Bootloader reports are little-endian, the NXP serial-download reports big-endian. Every
// access names the buffer's size and the field's offset: a field that would pass the end is
// neither written nor read (a put answers false, a get answers 0), so a wrong offset cannot
// touch memory outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veltra {

namespace byte_order_detail {

constexpr bool Fits(std::size_t size, std::size_t offset, std::size_t width) {
  return offset <= size && size - offset >= width;
}

// The field's bytes, least significant first (little-endian) or most significant first.
template <typename Value>
bool Put(std::uint8_t* buffer, std::size_t size, std::size_t offset, Value value, bool bigEndian) {
  constexpr std::size_t kWidth = sizeof(Value);
  if (buffer == nullptr || !Fits(size, offset, kWidth)) {
    return false;
  }
  for (std::size_t i = 0; i < kWidth; ++i) {
    const std::size_t shift = 8 * (bigEndian ? kWidth - 1 - i : i);
    buffer[offset + i] = static_cast<std::uint8_t>((value >> shift) & 0xFFU);
  }
  return true;
}

template <typename Value>
Value Get(const std::uint8_t* buffer, std::size_t size, std::size_t offset, bool bigEndian) {
  constexpr std::size_t kWidth = sizeof(Value);
  if (buffer == nullptr || !Fits(size, offset, kWidth)) {
    return 0;
  }
  Value value = 0;
  for (std::size_t i = 0; i < kWidth; ++i) {
    const std::size_t shift = 8 * (bigEndian ? kWidth - 1 - i : i);
    value = static_cast<Value>(value | (static_cast<Value>(buffer[offset + i]) << shift));
  }
  return value;
}

}  // namespace byte_order_detail

inline bool PutLe16(std::uint8_t* buffer, std::size_t size, std::size_t offset,
                    std::uint16_t value) {
  return byte_order_detail::Put(buffer, size, offset, value, false);
}
inline bool PutLe32(std::uint8_t* buffer, std::size_t size, std::size_t offset,
                    std::uint32_t value) {
  return byte_order_detail::Put(buffer, size, offset, value, false);
}
inline bool PutBe16(std::uint8_t* buffer, std::size_t size, std::size_t offset,
                    std::uint16_t value) {
  return byte_order_detail::Put(buffer, size, offset, value, true);
}
inline bool PutBe32(std::uint8_t* buffer, std::size_t size, std::size_t offset,
                    std::uint32_t value) {
  return byte_order_detail::Put(buffer, size, offset, value, true);
}
inline std::uint32_t GetLe32(const std::uint8_t* buffer, std::size_t size, std::size_t offset) {
  return byte_order_detail::Get<std::uint32_t>(buffer, size, offset, false);
}

// The same on a fixed-size array, whose size the compiler knows.
template <std::size_t N>
bool PutLe16(std::uint8_t (&buffer)[N], std::size_t offset, std::uint16_t value) {
  return PutLe16(buffer, N, offset, value);
}
template <std::size_t N>
bool PutLe32(std::uint8_t (&buffer)[N], std::size_t offset, std::uint32_t value) {
  return PutLe32(buffer, N, offset, value);
}
template <std::size_t N>
bool PutBe16(std::uint8_t (&buffer)[N], std::size_t offset, std::uint16_t value) {
  return PutBe16(buffer, N, offset, value);
}
template <std::size_t N>
bool PutBe32(std::uint8_t (&buffer)[N], std::size_t offset, std::uint32_t value) {
  return PutBe32(buffer, N, offset, value);
}

}  // namespace veltra
