// Browser data fetched on a thread of its own while the installation goes
// on: the variations seed, the experiment configuration, the server
// configuration bundle and the preloaded wallpaper bundle. Each result goes
// to a temporary path reserved up front and handed to the setup on its
// command line, whether or not the download has finished by then.
#ifndef LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_
#define LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/worker_thread.h"
#include "lite_installer/setup_command_line.h"
#include "lite_util/service_hosts.h"

namespace lite {

class BrandInfo;
class DistribParams;

// Which rows of the task table a distribution switches on.
struct BackgroundTaskPlan {
  bool variations = false;        // "vup" is "1" (the default)
  bool experiments = false;       // "abtup" is "1" (the default)
  bool webntp = false;            // "webntp" is "1"; only a path, no task
  bool server_config = false;     // "scup" is "1"
  bool wallpapers = false;        // "pwexp" is not empty
  std::string wallpapers_suffix;  // the value of "pwexp"
};

BackgroundTaskPlan PlanBackgroundTasks(const DistribParams& params);

// "<host>/configs/all_zip", with "?brandID=<brand>&partnerID=<partner>"
// for the ids that are not empty (values taken as they are).
std::string ServerConfigBundleUrl(std::string_view host,
                                  const std::string& brand_id,
                                  const std::string& partner_id);

class AsyncInstallTasks {
 public:
  struct Options {
    // Where result paths are reserved; empty: the user's temporary
    // directory.
    std::wstring directory;
    // Scheme, host and port serving the server configuration bundle.
    std::string server_config_host = kServerConfigHost;
  };

  // Reserves the result paths the distribution asks for and starts the
  // tasks on a worker thread (none when there is no task). `brand_info` and
  // `params` are read only here.
  AsyncInstallTasks(const BrandInfo& brand_info, const DistribParams& params);
  AsyncInstallTasks(const BrandInfo& brand_info, const DistribParams& params,
                    const Options& options);
  // Stops the tasks and waits for the worker thread up to kStopWaitMs (a
  // stopped download ends at once, whatever its host does; a thread that
  // still runs then is left to end by itself); then deletes the variations,
  // experiments and server configuration files (the other two stay).
  ~AsyncInstallTasks();

  static constexpr DWORD kStopWaitMs = 5000;
  AsyncInstallTasks(const AsyncInstallTasks&) = delete;
  AsyncInstallTasks& operator=(const AsyncInstallTasks&) = delete;

  // Every reserved path (empty for rows that are off), for the setup's
  // command line. Fixed once constructed.
  const BackgroundTaskPaths& paths() const { return paths_; }

  // Whether a worker thread runs (or ran) the tasks.
  bool has_worker() const { return thread_.started(); }
  // Waits up to `timeout_ms` for the tasks to end by themselves; true when
  // they have (or there were none). The installation never waits for them.
  bool WaitForTasks(DWORD timeout_ms) const;

 private:
  using Task = std::function<void()>;

  bool InitializeThread(std::vector<Task> tasks);
  std::vector<Task> MakeTasks(const BrandInfo& brand_info,
                              const BackgroundTaskPlan& plan,
                              const std::string& server_config_host) const;

  BackgroundTaskPaths paths_;
  // The tasks and the stop event they watch belong to the worker, which
  // outlives this object when it is left running.
  base::WorkerThread thread_;
};

}  // namespace lite

#endif  // LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_
