#include "lite_installer/module_download.h"

#include <limits>

#include "base/string_util.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/installer_events.h"
#include "lite_installer/installer_switches.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/system_checks.h"

namespace lite {
namespace {

// The setup's own run is expected to take four more minutes.
constexpr int kSetupSecondsEstimate = 240;

// Passes the package download's progress on to the controller's delegate,
// with the setup's run added to the time left.
class DelegateAdapter : public DownloadProgressObserver {
 public:
  explicit DelegateAdapter(DownloadProgressObserver* delegate)
      : delegate_(delegate) {}
  void OnDownloadProgress(float fraction) override {
    if (delegate_) delegate_->OnDownloadProgress(fraction);
  }
  void OnLongDownload() override {
    if (delegate_) delegate_->OnLongDownload();
  }
  void OnTimeLeft(int seconds, int phase) override {
    // Held at the largest int rather than wrapping round.
    constexpr int kMax = std::numeric_limits<int>::max();
    if (delegate_) {
      delegate_->OnTimeLeft(seconds > kMax - kSetupSecondsEstimate
                                ? kMax
                                : seconds + kSetupSecondsEstimate,
                            phase);
    }
  }

 private:
  DownloadProgressObserver* delegate_;
};

bool IsSet(HANDLE event) {
  return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

bool EventsAllowed(const ModuleDownloadContext& context) {
  return !context.user_cancel_count || *context.user_cancel_count <= 0;
}

void SendEvent(const ModuleDownloadContext& context, const StatEvent& event) {
  if (context.statistics) context.statistics->Send(event);
}

}  // namespace

PackageFileLock::PackageFileLock(const std::wstring& path)
    : file_(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

AttemptPlan PlanAttempts(size_t url_count) {
  if (url_count == 0) return {0, 0};
  if (url_count == 1) return {6, 6};
  return {static_cast<int>(3 * url_count), 3};
}

ModuleResult DownloadModule(const ModuleDownloadContext& context, HANDLE file,
                            const InstallerCommandLine& command_line,
                            std::vector<std::string>* urls_out) {
  FileDownloadSink sink(file);

  X64BuildExperiment experiment;
  const DistribParams* params = context.distrib_params;
  if (!experiment.ApplySwitches(
          command_line.HasSwitch(switches::kDownloadX64),
          command_line.HasSwitch(switches::kDownloadX32)) &&
      params) {
    experiment.AdjustDownloadUrl(
        [params](const std::string& key, std::string* value) {
          return params->Get(key, value);
        });
  }
  const std::vector<std::string> urls =
      BuildDownloadUrls(experiment.flavour(), context.brand_info->setup_urls(),
                        context.windows_version);
  if (urls_out) *urls_out = urls;
  if (urls.empty()) {
    LOG(ERROR) << "Setup url is empty.";
    return kModuleNotObtained;
  }
  LOG(INFO) << "Selected download urls:";
  for (const std::string& url : urls) LOG(INFO) << url;

  DelegateAdapter adapter(context.delegate);
  SendEvent(context, DownloadStartedEvent());

  const AttemptPlan plan = PlanAttempts(urls.size());
  std::string previous_url;
  for (int i = 0; i < plan.total && !IsSet(context.cancel_event); ++i) {
    const std::string& url = urls[i / plan.per_url];
    if (i == 0 || url != previous_url) {
      previous_url = url;
      sink.Reset();  // a new URL starts from an empty file
    }
    DownloadLoopResult result;
    bool succeeded = context.run_download_loop(base::WidenBytes(url), &sink,
                                               &adapter, &result);
    if (succeeded && sink.count() == 0) {
      // An empty answer (or none, which WinINet takes for an empty one) is
      // never the package.
      succeeded = false;
      result.error_text =
          "internet_read-" +
          base::NumberToString(static_cast<uint32_t>(ERROR_HANDLE_EOF));
    }

    DownloadAttempt attempt;
    attempt.attempt_number = i + 1;
    attempt.downloaded_size = sink.count();
    attempt.total_size = result.content_length;
    attempt.url = url;
    attempt.redirect_target = result.redirect_target;
    attempt.flavour = experiment.flavour();
    if (succeeded) {
      attempt.succeeded = true;
      if (EventsAllowed(context))
        SendEvent(context, DownloadAttemptEvent(attempt));
      experiment.ConfigurateRegistry(i < plan.per_url);
      return kModuleReady;
    }
    if (result.exception.code != 0) {
      LOG(ERROR) << DescribeDownloadException(result.exception);
      return IsCryptoProException(result.exception) ? kModuleCryptoProException
                                                    : kModuleNotObtained;
    }
    // Less than a tenth of the body is not worth resuming.
    if (sink.count() <
        static_cast<uint32_t>(static_cast<uint64_t>(result.content_length) *
                              10 / 100)) {
      sink.Reset();
    }
    attempt.error = result.error_text;
    if (EventsAllowed(context)) {
      SendEvent(context,
                DownloadErrorEvent(attempt.attempt_number, attempt.error));
      SendEvent(context, DownloadAttemptEvent(attempt));
    }
    if (i + 1 < plan.total && context.cancel_event) {
      ::WaitForSingleObject(context.cancel_event,
                            context.pause_between_attempts_ms());
    } else if (i + 1 < plan.total) {
      ::Sleep(context.pause_between_attempts_ms());
    }
  }
  LOG(ERROR) << "Max download attempts failed (" << plan.total << ")";
  experiment.ConfigurateRegistry(false);
  // Whatever an unfinished attempt left in the file is not the package.
  sink.Reset();
  return kModuleNotObtained;
}

ModuleResult DownloadOrExtractModule(
    const ModuleDownloadContext& context, const std::wstring& path,
    const InstallerCommandLine& command_line, bool* downloaded,
    std::unique_ptr<PackageFileLock>* lock_holder) {
  *downloaded = false;
  HANDLE file = INVALID_HANDLE_VALUE;
  base::ScopedFile own_file;
  if (lock_holder) {
    *lock_holder = std::make_unique<PackageFileLock>(path);
    file = (*lock_holder)->handle();
  } else {
    own_file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    file = own_file.Get();
  }
  if (file == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Cannot create file:" << path;
    return kModuleFileNotCreated;
  }
  ModuleResult result = kModuleReady;
  if (!context.extract_browser_setup_resource(file)) {
    LOG(INFO) << "Try to download module:" << path;
    result = context.download_module(file, command_line);
    *downloaded = result == kModuleReady;
  }
  return result;
}

}  // namespace lite
