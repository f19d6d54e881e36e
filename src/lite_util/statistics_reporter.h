// The controller's statistics: standing parameters, URL building and the
// background sender.
#ifndef LITE_UTIL_STATISTICS_REPORTER_H_
#define LITE_UTIL_STATISTICS_REPORTER_H_

#include <memory>
#include <mutex>
#include <string>

#include "lite_util/async_url_sender.h"
#include "lite_util/install_stat_sender.h"

namespace lite {

// Parameters the controller sets by number.
enum StatParam {
  kStatBrandId = 0,
  kStatPartnerId = 1,
  kStatBannerId = 2,
  kStatZarvexUid = 3,
  kStatDistrZarvexUid = 4,
  kStatNewVersion = 5,
  kStatOldVersion = 6,  // read only
  kStatInstallType = 7,
  kStatVessa = 8,
};

// Safe to use from several threads at once (the window sends its dialog
// events while the install thread sends its own): the standing parameters
// are guarded by one lock, taken while a URL is built and queued, so the
// queue holds the URLs in the order they were built.
class StatisticsReporter : public StatEventSink {
 public:
  // `persisted`: the registry value "install_stat" (empty when none).
  StatisticsReporter(int installer_type, const std::wstring& persisted);
  // Stops the sender first (queued requests may stay unsent).
  ~StatisticsReporter() override;

  void SetParam(int number, const std::wstring& value);
  std::wstring GetParam(int number) const;

  bool Send(const StatEvent& event) override;
  void SendDialogEvent(const StatEvent& event);
  // Waits up to `timeout_ms` for the queued requests to be sent.
  bool WaitForPendingRequests(DWORD timeout_ms) {
    return url_sender_->WaitForIdle(timeout_ms);
  }
  // Writes the standing parameters to "install_stat".
  void SaveToRegistry() const;

 protected:
  // Hands a built URL to the background sender (called under the lock);
  // tests keep it instead.
  virtual bool QueueUrl(const std::string& url) {
    return url_sender_->Send(url);
  }

 private:
  bool BuildAndQueue(const StatEvent& event, int path_number);

  mutable std::mutex mutex_;
  // Declared in this order so that the sender is destroyed first.
  std::unique_ptr<InstallStatSender> stat_sender_;
  std::unique_ptr<AsyncUrlSender> url_sender_;
};

}  // namespace lite

#endif  // LITE_UTIL_STATISTICS_REPORTER_H_
