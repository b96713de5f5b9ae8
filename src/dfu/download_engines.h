// The three download engines (MCU, FPGA, combined/unmarked) and the download state they share
// with the worker and the device-change handling.
#pragma once

#include "core/update_session.h"
#include "platform/types.h"

namespace veltra {

// A device that keeps answering its status without reaching dfuDNLOAD-IDLE is given this long on
// the program's clock (about 3000 polls at the fixed 20 ms pace) before the engine gives up.
// Real cameras need a few polls, so nothing that reaches the state at the normal pace is affected.
constexpr std::uint64_t kStatusPollLimitMs = 60000;
// Consecutive failed status reads tolerated after the first block of a download.
constexpr int kFirstBlockStatusRetries = 1000;

int DoDownloadMCUFirmware();
int DoDownloadFPGAFirmware();
int DoDownload();

// The pass DoDownload runs, from the image type (t), g_bFirstPartWritten (w), g_bDFUOpened (o),
// g_bWriteFirstPart (f) and whether g_updateResult is 50 (r).
enum class DownloadPass { kNone, kFirst, kSecond };
DownloadPass ChooseDownloadPass(std::uint8_t t, bool w, bool o, bool f, bool r);

// The session's download flags and block count, the update result and the status text back to
// their start-up values (a fresh program).
void ResetDownloadState();

}  // namespace veltra
