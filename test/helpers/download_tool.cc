// Drives the installer's download code from the command line, for black-box
// tests and the download benchmark:
//
//   download_tool file URL TARGET [--cancel-after-ms=N]
//       InternetDownloader::DownloadToFile
//   download_tool timed URL TARGET
//       the steps of DownloadToFile (Open, the Read loop, Finalize) straight
//       into TARGET, timed: open_ms (connection, TLS and the answer
//       headers) and body_ms (the read loop), for the download benchmark
//   download_tool variations URL TARGET
//       DownloadAndSaveVariations (the background variations task)
//   download_tool module TARGET --config=FILE [--pause-ms=N]
//                 [--cancel-after-ms=N] [installer switches...]
//       the package download (candidate URLs, attempts, statistics) with a
//       brand record read from FILE (JSON) plus the defaults
//
// Every mode takes --limits=SOCKET,ANSWER,STALL (milliseconds): shorter
// network limits than the program's own.
//
// Prints key=value lines: result, error, redirect, length, url (one per
// candidate).
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/monotonic_clock.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "base/worker_thread.h"
#include "lite_installer/brand/brand_info.h"
#include "lite_installer/brand/distrib_params.h"
#include "lite_installer/installer_command_line.h"
#include "lite_installer/module_download.h"
#include "lite_installer/variations_file.h"
#include "lite_util/internet_downloader.h"
#include "lite_util/logging/file_logger.h"
#include "lite_util/logging/log_message.h"
#include "lite_util/statistics_reporter.h"
#include "lite_util/windows_version.h"

namespace {

using lite::InstallerCommandLine;

uint32_t SwitchNumber(const InstallerCommandLine& command_line,
                      const char* name, uint32_t fallback) {
  uint32_t value = fallback;
  if (command_line.HasSwitch(name)) {
    base::StringToUint32(command_line.GetSwitchValueASCII(name), &value);
  }
  return value;
}

int DownloadFile(const std::wstring& url, const std::wstring& target,
                 HANDLE cancel_event) {
  lite::InternetDownloader downloader;
  bool ok =
      downloader.DownloadToFile(base::WideToUTF8(url), target, cancel_event);
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf(
      "result=%d\nerror=%s\nredirect=%s\nlength=%u\npeak_working_set=%lu\n",
      ok ? 1 : 0, downloader.error_text().c_str(),
      base::WideToUTF8(downloader.redirect_target()).c_str(),
      downloader.content_length(),
      static_cast<unsigned long>(memory.PeakWorkingSetSize));
  return ok ? 0 : 1;
}

int DownloadTimed(const std::wstring& url, const std::wstring& target,
                  HANDLE cancel_event) {
  base::ScopedFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.IsValid()) {
    std::printf("result=0\nerror=create_file-%lu\n", ::GetLastError());
    return 1;
  }
  lite::InternetDownloader downloader;
  downloader.set_cancel_event(cancel_event);
  lite::FileDownloadSink sink(file.Get());
  const int64_t start = base::MonotonicMicroseconds();
  bool ok = downloader.Open(url, &sink);
  const int64_t opened = base::MonotonicMicroseconds();
  if (ok) {
    while (downloader.Read() != 0) {
    }
    ok = downloader.Finalize(nullptr);
  }
  const int64_t done = base::MonotonicMicroseconds();
  file.Reset();
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf(
      "result=%d\nerror=%s\nbytes=%u\nopen_ms=%.1f\nbody_ms=%.1f\n"
      "peak_working_set=%lu\n",
      ok ? 1 : 0, downloader.error_text().c_str(), sink.count(),
      (opened - start) / 1000.0, (done - opened) / 1000.0,
      static_cast<unsigned long>(memory.PeakWorkingSetSize));
  return ok ? 0 : 1;
}

int DownloadPackage(const std::wstring& target,
                    const InstallerCommandLine& command_line,
                    HANDLE cancel_event) {
  std::string config;
  if (!base::ReadFileToString(command_line.GetSwitchValue("config"), &config)) {
    std::fprintf(stderr, "cannot read --config\n");
    return 2;
  }
  lite::BrandInfo brand(base::GetTempDirectory());
  brand.ReadConfig(config);
  brand.FillDefaults();
  lite::DistribParams params;
  params.LoadDistribParams();

  auto statistics = std::make_unique<lite::StatisticsReporter>(0, L"");
  statistics->SetParam(lite::kStatBrandId, base::UTF8ToWide(brand.brand_id()));
  statistics->SetParam(lite::kStatPartnerId,
                       base::UTF8ToWide(brand.partner_id()));
  lite::ModuleDownloadContext context;
  context.cancel_event = cancel_event;
  context.distrib_params = params.params().empty() ? nullptr : &params;
  context.brand_info = &brand;
  context.windows_version = lite::WindowsVersion();
  context.statistics = statistics.get();
  // The controller's operations, but for the pause, which the caller sets.
  std::vector<std::string> urls;
  context.download_module = [&](HANDLE file,
                                const InstallerCommandLine& switches) {
    return lite::DownloadModule(context, file, switches, &urls);
  };
  context.run_download_loop = [&](const std::wstring& url,
                                  lite::DownloadSink* sink,
                                  lite::DownloadProgressObserver* observer,
                                  lite::DownloadLoopResult* result) {
    lite::InternetDownloader downloader;
    return lite::RunDownloadLoop(&downloader, url, sink, cancel_event, observer,
                                 result);
  };
  const DWORD pause_ms =
      SwitchNumber(command_line, "pause-ms", lite::kPauseBetweenAttemptsMs);
  context.pause_between_attempts_ms = [pause_ms] { return pause_ms; };
  context.extract_browser_setup_resource = [](HANDLE) { return false; };
  bool downloaded = false;
  lite::ModuleResult result = lite::DownloadOrExtractModule(
      context, target, command_line, &downloaded, nullptr);
  for (const std::string& url : urls) {
    std::printf("url=%s\n", url.c_str());
  }
  std::printf("result=%d\ndownloaded=%d\n", result, downloaded ? 1 : 0);
  statistics->WaitForPendingRequests(10000);
  return result;
}

}  // namespace

int wmain() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const InstallerCommandLine& command_line =
      InstallerCommandLine::ForCurrentProcess();
  lite::SetLogger(std::make_unique<lite::FileLogger>(
      lite::LogFilePath(base::GetTempDirectory()), 1048576));

  int argc = 0;
  base::ScopedLocalMemory<LPWSTR> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &argc));
  LPWSTR* const argv = arguments.Get();
  std::wstring mode = argc > 1 ? argv[1] : L"";
  if (command_line.HasSwitch("limits")) {
    lite::InternetDownloader::Limits limits;
    unsigned socket = 0, answer = 0, stall = 0;
    if (std::sscanf(command_line.GetSwitchValueASCII("limits").c_str(),
                    "%u,%u,%u", &socket, &answer, &stall) == 3) {
      limits.socket_timeout_ms = socket;
      limits.answer_timeout_ms = answer;
      limits.read_stall_ms = stall;
    }
    lite::InternetDownloader::SetDefaultLimits(limits);
  }
  // The downloads' cancel event is the stop event of a timer thread that
  // sets it after --cancel-after-ms (the event lives as long as the thread).
  base::WorkerThread cancel_timer;
  const HANDLE cancel_event = cancel_timer.stop_event();
  if (command_line.HasSwitch("cancel-after-ms")) {
    const DWORD delay_ms = SwitchNumber(command_line, "cancel-after-ms", 0);
    cancel_timer.Start([cancel_event, delay_ms] {
      ::Sleep(delay_ms);
      ::SetEvent(cancel_event);
    });
  }
  int code = 2;
  if (mode == L"file" && argc >= 4) {
    code = DownloadFile(argv[2], argv[3], cancel_event);
  } else if (mode == L"timed" && argc >= 4) {
    code = DownloadTimed(argv[2], argv[3], cancel_event);
  } else if (mode == L"variations" && argc >= 4) {
    std::string url = base::WideToUTF8(argv[2]);
    bool saved = lite::DownloadAndSaveVariations(url, argv[3], cancel_event);
    std::printf("result=%d\n", saved ? 0 : 1);
    code = saved ? 0 : 1;
  } else if (mode == L"module" && argc >= 3) {
    code = DownloadPackage(argv[2], command_line, cancel_event);
  } else {
    std::fprintf(stderr,
                 "usage: download_tool file|timed|variations URL TARGET | "
                 "module TARGET --config=FILE [switches]\n");
  }
  return code;
}
