// The read loop of the setup package download: cancellation, progress
// fraction and the time-left estimate.
#ifndef LITE_INSTALLER_DOWNLOAD_LOOP_H_
#define LITE_INSTALLER_DOWNLOAD_LOOP_H_

#include <windows.h>

#include <cstdint>
#include <string>

#include "lite_util/internet_downloader.h"

namespace lite {

class DownloadProgressObserver {
 public:
  virtual ~DownloadProgressObserver() = default;
  // 0.0 to 1.0.
  virtual void OnDownloadProgress(float fraction) = 0;
  // The download promises to take more than two minutes.
  virtual void OnLongDownload() = 0;
  // Phase 0: starting, no estimate (seconds -1); 1: an estimate; 2: done
  // (seconds 0).
  virtual void OnTimeLeft(int seconds, int phase) = 0;
};

// Milliseconds still needed for `total` bytes when `done` (> 0) took
// `elapsed_ms`; unsigned 64-bit arithmetic.
uint64_t EstimateRemainingMs(uint64_t total, uint64_t done,
                             uint64_t elapsed_ms);

struct DownloadLoopResult {
  std::string error_text;
  std::wstring redirect_target;
  uint32_t content_length = 0;
  DownloadExceptionInfo exception;
};

// Downloads `url` into `sink` (resuming after what it holds) with
// `downloader`. `cancel_event`, `observer` and `result` are optional.
bool RunDownloadLoop(InternetDownloader* downloader, const std::wstring& url,
                     DownloadSink* sink, HANDLE cancel_event,
                     DownloadProgressObserver* observer,
                     DownloadLoopResult* result);

}  // namespace lite

#endif  // LITE_INSTALLER_DOWNLOAD_LOOP_H_
