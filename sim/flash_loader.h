// The flash loader the RT1060 ROM starts (the NXP-based camera in its HID update mode, 7E51:DF02):
// MCU-Bootloader command and data packets over HID into a model of the FlexSPI NOR flash.
//
// Model:
//  - FillMemory writes its 32-bit pattern (little-endian, repeated) into RAM.
//  - ConfigureMemory with memory ID 9 (FlexSPI NOR) reads its option word from RAM: a word with
//    tag 0xC configures the flash; 0xF000000F writes the boot configuration block ("FCFB") at the
//    start of the flash, which needs a configured and erased flash.
//  - FlashEraseRegion erases whole 4 KiB sectors covering the region (bytes read 0xFF).
//  - WriteMemory opens a data phase of `count` bytes at `address` (RAM, or the flash once
//    configured); data packets are written in order. Programming a flash byte that is not erased
//    fails the write, as the chip's program operation cannot set bits: the data phase ends there.
//  - A command packet during an open data phase aborts it (what arrived stays written).
//  - GetProperty knows the current version (1) and the maximum packet size (11). SetProperty
//    keeps the value. The updater ends its session with SetProperty 0x8380 then 0x3204; the model
//    takes the second as the end of the session and restarts the chip, as the Reset command does.
//  - Each command's outcome is kept as its status, and answered as the real flash loader answers
//    it: a response packet in an input report (ID 3) queued for reading. GetProperty gets a
//    GetProperty response (0xA7: status, value), every other command a generic response (0xA0:
//    status, the command's tag). WriteMemory with a data phase is answered twice: success when the
//    data phase opens, then the outcome once its last byte is written or a write fails. Nothing
//    answers a malformed packet, stray data, a data phase broken off by a command, or the command
//    that restarts the chip (the restart clears the queue: a restarted flash loader sends nothing).
//  - An answer comes when its command is done, on the program's clock (commands run one after
//    another). How long a command takes is not documented; the bench's switch is the erase of
//    the image region, from at once to the slowest, 30 s (the default). Every other command is
//    done at once.
//  - Pacing: a data packet less than 50 ms after the last one (by default) is lost, as the flash
//    is still programming the last one; the data phase then never ends (no second answer).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "sim/nxp_protocol.h"
#include "sim/sparse_memory.h"

namespace veltra::sim {

constexpr std::uint16_t kFlashLoaderPid = 0xDF02;
constexpr std::uint32_t kFlexSpiBase = 0x60000000;
constexpr std::uint32_t kFlexSpiSize = 8 * 1024 * 1024;
constexpr std::uint32_t kFlashSectorSize = 4096;
constexpr std::uint32_t kFlashImageAddress = 0x60001000;  // where a boot image starts
constexpr std::uint32_t kFcbTag = 0x42464346;             // "FCFB"
constexpr std::uint32_t kFcbSize = 512;
constexpr std::uint32_t kSessionEndProperty = 0x3204;

enum class BlStatus {
  kSuccess,
  kPending,  // WriteMemory whose data phase is still open
  kInvalidArgument,
  kUnknownCommand,
  kUnknownProperty,
  kMemoryRangeInvalid,
  kMemoryNotConfigured,
  kFlashNotErased,
  kDataPhaseAborted,
  kUnexpectedData,
  kMalformedPacket,
};

struct BlCommandRecord {
  std::uint8_t tag = 0;
  std::uint8_t flags = 0;
  std::vector<std::uint32_t> parameters;
  BlStatus status = BlStatus::kSuccess;
};

// The flash boots: the boot configuration block at its start and an image behind it.
bool FlashBoots(const SparseMemory& flash);

class FlashLoader {
 public:
  enum class Result { kAccepted, kRestart };

  // How long its commands take and the pause it needs between data packets.
  struct Timing {
    std::uint32_t eraseMs = 30000;  // FlashEraseRegion of the image region
    std::uint32_t dataGapMs = 50;   // a data packet sooner than this after the last is lost
  };

  // flash: the camera's FlexSPI NOR flash (0xFF when erased); it outlives the loader's sessions.
  explicit FlashLoader(SparseMemory& flash) : flash_(flash) {}
  void SetTiming(const Timing& timing) { timing_ = timing; }

  // One HID output report. The report was delivered whatever the loader thought of it.
  Result OnReport(const std::uint8_t* report, std::size_t length);
  // A fresh start from the ROM: RAM cleared, FlexSPI not configured, nothing logged or queued.
  void Restart();
  // The oldest answer not yet read when it is there by deadlineMs on the program's clock (false
  // otherwise), with the time it came; and emptying the queue.
  bool TakeAnswer(std::vector<std::uint8_t>* answer, std::uint64_t deadlineMs,
                  std::uint64_t* readyMs);
  void DropAnswers() { answers_.clear(); }

  // Commands in arrival order with their outcomes (malformed reports appear with that status).
  std::vector<BlCommandRecord> Commands() const { return commands_; }
  bool Configured() const { return configured_; }
  bool FcbWritten() const { return fcbWritten_; }
  std::vector<std::uint8_t> Ram(std::uint32_t address, std::size_t length) const;
  int DataPackets() const { return dataPackets_; }
  int LostPackets() const { return lostPackets_; }  // data packets sent too soon (pacing)
  std::uint64_t DataBytes() const { return dataBytes_; }
  std::map<std::uint32_t, std::uint32_t> Properties() const { return properties_; }
  // The image at kFlashImageAddress was written whole: no erase or write has touched it since
  // a write of it took all its bytes (true for the factory image). Kept across restarts, as it
  // describes the flash.
  bool ImageWhole() const { return imageWhole_; }

 private:
  Result OnCommand(const nxp::BlCommand& command);
  BlStatus Execute(const nxp::BlCommand& command, Result* result);
  BlStatus FillMemory(std::uint32_t address, std::uint32_t count, std::uint32_t pattern);
  BlStatus ConfigureMemory(std::uint32_t memoryId, std::uint32_t address);
  BlStatus EraseRegion(std::uint32_t address, std::uint32_t count, std::uint32_t memoryId);
  BlStatus WriteMemory(const nxp::BlCommand& command);
  void OnData(const std::uint8_t* data, std::size_t length);
  void Answer(const nxp::BlCommand& command, BlStatus status);
  // Queues an answer for when the command, taking durationMs after the one before it, is done.
  void Queue(std::vector<std::uint8_t> answer, std::uint32_t durationMs);
  void EndDataPhase(BlStatus status);
  bool InFlash(std::uint32_t address, std::uint64_t length) const;

  SparseMemory& flash_;
  SparseMemory ram_;
  bool configured_ = false;
  bool fcbWritten_ = false;
  std::map<std::uint32_t, std::uint32_t> properties_;
  std::vector<BlCommandRecord> commands_;
  // The open data phase (writeRecord_ indexes commands_).
  bool dataPhase_ = false;
  std::size_t writeRecord_ = 0;
  std::uint32_t writeAddress_ = 0;
  std::uint32_t writeLeft_ = 0;
  bool writeToFlash_ = false;
  int dataPackets_ = 0;
  std::uint64_t dataBytes_ = 0;
  bool writeIsImage_ = false;  // the open data phase writes the boot image
  bool imageWhole_ = true;
  struct Pending {
    std::uint64_t readyMs = 0;
    std::vector<std::uint8_t> bytes;
  };
  std::deque<Pending> answers_;
  Timing timing_;
  std::uint64_t busyUntilMs_ = 0;  // when the last command is done
  std::uint64_t lastDataMs_ = 0;
  bool dataSeen_ = false;
  int lostPackets_ = 0;
};

}  // namespace veltra::sim
