// A byte-addressed memory of the bench's chip models (RAM of a boot ROM, a NOR flash), kept as
// 4 KiB pages that exist once written. Bytes never written read as the fill value (0 for RAM,
// 0xFF for erased flash). Addresses are 32-bit; an access that would run past 0xFFFFFFFF is cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace veltra::sim {

class SparseMemory {
 public:
  explicit SparseMemory(std::uint8_t fill = 0) : fill_(fill) {}

  void Write(std::uint32_t address, const std::uint8_t* data, std::size_t length);
  void Fill(std::uint32_t address, std::size_t length, std::uint8_t value);
  std::vector<std::uint8_t> Read(std::uint32_t address, std::size_t length) const;
  std::uint32_t ReadLe32(std::uint32_t address) const;
  // True when every byte of the range holds value.
  bool All(std::uint32_t address, std::size_t length, std::uint8_t value) const;
  void Clear() { pages_.clear(); }

 private:
  static constexpr std::uint32_t kPageSize = 4096;
  std::uint8_t ByteAt(std::uint32_t address) const;
  std::vector<std::uint8_t>& PageFor(std::uint32_t address);
  static std::size_t Clamp(std::uint32_t address, std::size_t length);

  std::uint8_t fill_;
  std::map<std::uint32_t, std::vector<std::uint8_t>> pages_;
};

}  // namespace veltra::sim
