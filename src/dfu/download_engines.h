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

int DoDownloadMCUFirmware();
int DoDownloadFPGAFirmware();
int DoDownload();

void ResetDownloadState();

}  // namespace veltra
