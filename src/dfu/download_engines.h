// The three download engines (MCU, FPGA, combined/unmarked) and the download state they share
// with the worker and the device-change handling.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// A device that keeps answering busy is given this long on the program's clock before the engine
// gives up: a flash-wide erase takes up to two minutes, so the limit leaves room for more than
// twice that. Only the time of busy answers counts; failed reads have their own bound.
constexpr std::uint64_t kStatusBusyLimitMs = 5 * 60 * 1000;
// No single block waits longer than this in all, whatever mix of failed reads (each may cost a
// 5 s time-out) and busy answers it meets.
constexpr std::uint64_t kBlockWaitLimitMs = 10 * 60 * 1000;
// Consecutive failed status reads tolerated after the first block of a download.
constexpr int kFirstBlockStatusRetries = 1000;

// Each engine runs on the update session the worker gives it: the block count, the pass of a
// two-pass image and the phase; progress and phases go to the session's observer.
int DoDownloadMCUFirmware(UpdateSession& update);
int DoDownloadFPGAFirmware(UpdateSession& update);
int DoDownload(UpdateSession& update);

// The pass DoDownload runs, from the image type and the session's pass of a two-pass image.
enum class DownloadPass { kNone = 0, kFirst = 1, kSecond = 2 };
DownloadPass ChooseDownloadPass(std::uint8_t imageType, const PassRoute& route);

}  // namespace veltra
