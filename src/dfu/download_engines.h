// The three download engines (MCU, FPGA, combined/unmarked) and the download state they share
// with the worker and the device-change handling.
#pragma once

#include "platform/types.h"

namespace veltra {

extern std::atomic<std::uint32_t> g_blockCount;
extern Flag g_bDownloadInProgress;
extern Flag g_bDownloadComplete;
extern Flag g_bFirstPartWritten;
extern Flag g_bWriteFirstPart;
extern Flag g_bDFUOpened;
extern std::atomic<std::int32_t> g_updateResult;

// The status text: "UpdateFirmware : bState = %d \r\n" with the last device state, written when a
// block cannot be sent and after the zero-length end.
constexpr std::size_t kStatusTextChars = 256;
extern wchar_t g_statusText[kStatusTextChars];

// A device that keeps answering busy is given this long on the program's clock before the engine
// gives up: a flash-wide erase takes up to two minutes, so the limit leaves room for more than
// twice that. Only the time of busy answers counts; failed reads have their own bound.
constexpr std::uint64_t kStatusBusyLimitMs = 5 * 60 * 1000;
// No single block waits longer than this in all, whatever mix of failed reads (each may cost a
// 5 s time-out) and busy answers it meets.
constexpr std::uint64_t kBlockWaitLimitMs = 10 * 60 * 1000;
// Consecutive failed status reads tolerated after the first block of a download.
constexpr int kFirstBlockStatusRetries = 1000;

int DoDownloadMCUFirmware();
int DoDownloadFPGAFirmware();
int DoDownload();

// The pass DoDownload runs, from the image type (t), g_bFirstPartWritten (w), g_bDFUOpened (o),
// g_bWriteFirstPart (f) and whether g_updateResult is 50 (r).
enum class DownloadPass { kNone, kFirst, kSecond };
DownloadPass ChooseDownloadPass(std::uint8_t t, bool w, bool o, bool f, bool r);

// The download's flags and block count (what a failed update must not leave behind).
void ClearDownloadFlags();
// ClearDownloadFlags, and the update result and status text too (a fresh program).
void ResetDownloadState();

}  // namespace veltra
