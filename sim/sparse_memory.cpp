#include "sim/sparse_memory.h"

namespace veltra::sim {

std::size_t SparseMemory::Clamp(std::uint32_t address, std::size_t length) {
  const std::uint64_t room = 0x100000000ULL - address;
  return length > room ? static_cast<std::size_t>(room) : length;
}

std::vector<std::uint8_t>& SparseMemory::PageFor(std::uint32_t address) {
  const std::uint32_t base = address - address % kPageSize;
  auto it = pages_.find(base);
  if (it == pages_.end()) {
    it = pages_.emplace(base, std::vector<std::uint8_t>(kPageSize, fill_)).first;
  }
  return it->second;
}

std::uint8_t SparseMemory::ByteAt(std::uint32_t address) const {
  const auto it = pages_.find(address - address % kPageSize);
  return it == pages_.end() ? fill_ : it->second[address % kPageSize];
}

void SparseMemory::Write(std::uint32_t address, const std::uint8_t* data, std::size_t length) {
  if (data == nullptr) {
    return;
  }
  length = Clamp(address, length);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(i);
    PageFor(at)[at % kPageSize] = data[i];
  }
}

void SparseMemory::Fill(std::uint32_t address, std::size_t length, std::uint8_t value) {
  length = Clamp(address, length);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(i);
    PageFor(at)[at % kPageSize] = value;
  }
}

std::vector<std::uint8_t> SparseMemory::Read(std::uint32_t address, std::size_t length) const {
  length = Clamp(address, length);
  std::vector<std::uint8_t> out(length);
  for (std::size_t i = 0; i < length; ++i) {
    out[i] = ByteAt(address + static_cast<std::uint32_t>(i));
  }
  return out;
}

std::uint32_t SparseMemory::ReadLe32(std::uint32_t address) const {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(ByteAt(address + i)) << (8 * i);
  }
  return value;
}

bool SparseMemory::All(std::uint32_t address, std::size_t length, std::uint8_t value) const {
  length = Clamp(address, length);
  for (std::size_t i = 0; i < length; ++i) {
    if (ByteAt(address + static_cast<std::uint32_t>(i)) != value) {
      return false;
    }
  }
  return true;
}

}  // namespace veltra::sim
