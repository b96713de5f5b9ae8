#include "sim/sparse_memory.h"

#include <algorithm>

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

// The range operations go page by page, with one look-up per page rather than per byte: the flash
// loader erases up to the whole 8 MiB flash in one command.
void SparseMemory::Write(std::uint32_t address, const std::uint8_t* data, std::size_t length) {
  if (data == nullptr) {
    return;
  }
  length = Clamp(address, length);
  for (std::size_t done = 0; done < length;) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(done);
    const std::size_t offset = at % kPageSize;
    const std::size_t n = std::min<std::size_t>(kPageSize - offset, length - done);
    std::copy_n(data + done, n, PageFor(at).begin() + static_cast<std::ptrdiff_t>(offset));
    done += n;
  }
}

void SparseMemory::Fill(std::uint32_t address, std::size_t length, std::uint8_t value) {
  length = Clamp(address, length);
  for (std::size_t done = 0; done < length;) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(done);
    const std::size_t offset = at % kPageSize;
    const std::size_t n = std::min<std::size_t>(kPageSize - offset, length - done);
    std::fill_n(PageFor(at).begin() + static_cast<std::ptrdiff_t>(offset), n, value);
    done += n;
  }
}

std::vector<std::uint8_t> SparseMemory::Read(std::uint32_t address, std::size_t length) const {
  length = Clamp(address, length);
  std::vector<std::uint8_t> out(length, fill_);
  for (std::size_t done = 0; done < length;) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(done);
    const std::size_t offset = at % kPageSize;
    const std::size_t n = std::min<std::size_t>(kPageSize - offset, length - done);
    const auto page = pages_.find(at - static_cast<std::uint32_t>(offset));
    if (page != pages_.end()) {
      std::copy_n(page->second.begin() + static_cast<std::ptrdiff_t>(offset), n,
                  out.begin() + static_cast<std::ptrdiff_t>(done));
    }
    done += n;
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
  for (std::size_t done = 0; done < length;) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(done);
    const std::size_t offset = at % kPageSize;
    const std::size_t n = std::min<std::size_t>(kPageSize - offset, length - done);
    const auto page = pages_.find(at - static_cast<std::uint32_t>(offset));
    if (page == pages_.end()) {
      if (fill_ != value) {
        return false;
      }
    } else {
      const auto first = page->second.begin() + static_cast<std::ptrdiff_t>(offset);
      if (std::any_of(first, first + static_cast<std::ptrdiff_t>(n),
                      [value](std::uint8_t b) { return b != value; })) {
        return false;
      }
    }
    done += n;
  }
  return true;
}

}  // namespace veltra::sim
