#include "lite_installer/download_loop.h"

#include <algorithm>

namespace lite {
namespace {

constexpr DWORD kEstimateIntervalMs = 60000;
constexpr uint64_t kLongDownloadSeconds = 120;

}  // namespace

uint64_t EstimateRemainingMs(uint64_t total, uint64_t done,
                             uint64_t elapsed_ms) {
  if (done == 0 || done >= total) return 0;
  return (total - done) * elapsed_ms / done;
}

bool RunDownloadLoop(InternetDownloader* downloader, const std::wstring& url,
                     DownloadSink* sink, HANDLE cancel_event,
                     DownloadProgressObserver* observer,
                     DownloadLoopResult* result) {
  bool succeeded = false;
  downloader->set_cancel_event(cancel_event);
  if (downloader->Open(url, sink)) {
    // Bytes an earlier attempt left: they count for the progress, not for
    // the speed of this one.
    const uint32_t resumed_from = sink->count();
    if (observer && sink->count() == 0) {
      observer->OnDownloadProgress(0.0f);
      observer->OnTimeLeft(-1, 0);
    }
    const DWORD start = ::GetTickCount();
    DWORD last_estimate = 0;
    for (;;) {
      if (cancel_event &&
          ::WaitForSingleObject(cancel_event, 0) == WAIT_OBJECT_0) {
        break;
      }
      if (downloader->Read() == 0) {
        succeeded = downloader->Finalize(nullptr);
        if (observer && succeeded) {
          observer->OnDownloadProgress(1.0f);
          observer->OnTimeLeft(0, 2);
        }
        break;
      }
      const uint32_t length = downloader->content_length();
      if (length == 0) continue;
      const uint32_t done = sink->count();
      // After a resumed request the file may hold more than the answer
      // announced: the fraction is capped and no estimate is made.
      if (observer) {
        observer->OnDownloadProgress(
            std::min(1.0f, static_cast<float>(done) / length));
      }
      if (done <= resumed_from || done >= length) continue;
      const DWORD elapsed = ::GetTickCount() - start;
      if (elapsed - last_estimate < kEstimateIntervalMs) continue;
      const uint64_t seconds =
          EstimateRemainingMs(length - resumed_from, done - resumed_from,
                              elapsed) /
          1000;
      last_estimate = elapsed;
      if (observer) {
        if (seconds + elapsed / 1000 > kLongDownloadSeconds) {
          observer->OnLongDownload();
        }
        observer->OnTimeLeft(
            static_cast<int>(std::min<uint64_t>(seconds, 0x7FFFFFFF)), 1);
      }
    }
  }
  if (result) {
    result->error_text = downloader->error_text();
    result->redirect_target = downloader->redirect_target();
    result->content_length = downloader->content_length();
    result->exception = downloader->raised_exception();
  }
  return succeeded;
}

}  // namespace lite
