#include "lite_installer/async_install_tasks.h"

#include <exception>
#include <utility>

#include "base/file_util.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/variations_file.h"
#include "lite_util/internet_downloader.h"
#include "lite_util/logging/log_message.h"

namespace lite {
namespace {

constexpr wchar_t kReservedFilePrefix[] = L"bgt";

// The parameter's value, or `fallback` (nullptr: none) when it is absent.
// False when there is neither.
bool ParamOrDefault(const DistribParams& params, const char* key,
                    const char* fallback, std::string* value) {
  if (params.Get(key, value)) return true;
  if (!fallback) return false;
  *value = fallback;
  return true;
}

bool IsExactlyOne(const DistribParams& params, const char* key,
                  const char* fallback) {
  std::string value;
  return ParamOrDefault(params, key, fallback, &value) && value == "1";
}

// A new unique name in `directory`: the file is created and deleted again.
// Empty when it could not be created.
std::wstring ReserveTempPath(const std::wstring& directory) {
  const std::wstring parent =
      directory.empty() ? base::GetTempDirectory() : directory;
  const std::wstring path = base::CreateTempFileIn(parent, kReservedFilePrefix);
  if (path.empty()) {
    PLOG(ERROR) << "Failed to create a temporary file in " << parent;
    return std::wstring();
  }
  ::DeleteFileW(path.c_str());
  return path;
}

// The bundle tasks report to the debugger channel, not to the installer's
// log file.
void ReportToPlatformLog(const std::string& text) {
  ::OutputDebugStringA(("async_install_tasks.cc: " + text + "\n").c_str());
}

void DownloadBundle(const std::string& url, const std::wstring& path,
                    HANDLE stop_event, const char* what) {
  InternetDownloader downloader;
  if (!downloader.DownloadToFile(url, path, stop_event)) {
    ReportToPlatformLog(std::string("Failed to download ") + what + ": " +
                        downloader.error_text());
  }
}

}  // namespace

BackgroundTaskPlan PlanBackgroundTasks(const DistribParams& params) {
  BackgroundTaskPlan plan;
  plan.variations = IsExactlyOne(params, "vup", "1");
  plan.experiments = IsExactlyOne(params, "abtup", "1");
  plan.webntp = IsExactlyOne(params, "webntp", nullptr);
  plan.server_config = IsExactlyOne(params, "scup", nullptr);
  plan.wallpapers = params.Get("pwexp", &plan.wallpapers_suffix) &&
                    !plan.wallpapers_suffix.empty();
  return plan;
}

std::string ServerConfigBundleUrl(std::string_view host,
                                  const std::string& brand_id,
                                  const std::string& partner_id) {
  std::string query;
  if (!brand_id.empty()) query = "brandID=" + brand_id;
  if (!partner_id.empty()) {
    if (!query.empty()) query += "&";
    query += "partnerID=" + partner_id;
  }
  std::string url = std::string(host) + "/configs/all_zip";
  if (!query.empty()) url += "?" + query;
  return url;
}

AsyncInstallTasks::AsyncInstallTasks(const BrandInfo& brand_info,
                                     const DistribParams& params)
    : AsyncInstallTasks(brand_info, params, Options()) {}

AsyncInstallTasks::AsyncInstallTasks(const BrandInfo& brand_info,
                                     const DistribParams& params,
                                     const Options& options) {
  if (!thread_.stop_event()) {
    PLOG(ERROR) << "Failed to create stop event";
  }
  const BackgroundTaskPlan plan = PlanBackgroundTasks(params);
  const std::pair<bool, std::wstring*> rows[] = {
      {plan.variations, &paths_.variations_update},
      {plan.experiments, &paths_.abt_update},
      {plan.webntp, &paths_.webntp},
      {plan.server_config, &paths_.server_config_bundle},
      {plan.wallpapers, &paths_.preloaded_wallpaper_bundle},
  };
  for (const auto& [enabled, path] : rows) {
    if (enabled) *path = ReserveTempPath(options.directory);
  }
  std::vector<Task> tasks =
      MakeTasks(brand_info, plan, options.server_config_host);
  if (!tasks.empty()) InitializeThread(std::move(tasks));
}

AsyncInstallTasks::~AsyncInstallTasks() {
  if (thread_.started() && !thread_.Stop(kStopWaitMs)) {
    LOG(ERROR) << "Background tasks did not stop in " << kStopWaitMs
               << " ms; they end with the process";
  }
  for (const std::wstring* path :
       {&paths_.variations_update, &paths_.abt_update,
        &paths_.server_config_bundle}) {
    if (!path->empty()) ::DeleteFileW(path->c_str());
  }
}

bool AsyncInstallTasks::WaitForTasks(DWORD timeout_ms) const {
  return thread_.Join(timeout_ms);
}

std::vector<AsyncInstallTasks::Task> AsyncInstallTasks::MakeTasks(
    const BrandInfo& brand_info, const BackgroundTaskPlan& plan,
    const std::string& server_config_host) const {
  HANDLE stop = thread_.stop_event();
  std::vector<Task> tasks;
  if (!paths_.variations_update.empty()) {
    tasks.push_back(
        [url = brand_info.AppendServiceQuery(brand_info.variations_url()),
         path = paths_.variations_update,
         stop] { DownloadAndSaveVariations(url, path, stop); });
  }
  if (!paths_.abt_update.empty()) {
    tasks.push_back(
        [url = brand_info.AppendServiceQuery(brand_info.experiments_url()),
         path = paths_.abt_update,
         stop] { DownloadAndSaveVariations(url, path, stop); });
  }
  if (!paths_.server_config_bundle.empty()) {
    tasks.push_back(
        [url = ServerConfigBundleUrl(server_config_host, brand_info.brand_id(),
                                     brand_info.partner_id()),
         path = paths_.server_config_bundle,
         stop] { DownloadBundle(url, path, stop, "server config bundle"); });
  }
  if (!paths_.preloaded_wallpaper_bundle.empty() &&
      !brand_info.preloaded_wallpapers_url().empty()) {
    tasks.push_back(
        [url = brand_info.preloaded_wallpapers_url() + plan.wallpapers_suffix,
         path = paths_.preloaded_wallpaper_bundle,
         stop] { DownloadBundle(url, path, stop, "wallpaper bundle"); });
  }
  return tasks;
}

bool AsyncInstallTasks::InitializeThread(std::vector<Task> tasks) {
  HANDLE stop = thread_.stop_event();
  auto run = [tasks = std::move(tasks), stop] {
    for (const Task& task : tasks) {
      if (::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
      try {
        task();
      } catch (const std::exception& e) {
        LOG(ERROR) << "A background task raised: " << e.what();
      } catch (...) {
        LOG(ERROR) << "A background task raised an exception";
      }
    }
  };
  if (!thread_.Start(std::move(run))) {
    PLOG(ERROR) << "Failed to create thread for async install tasks";
    return false;
  }
  return true;
}

}  // namespace lite
