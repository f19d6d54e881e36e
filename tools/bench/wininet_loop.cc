// The platform's own download speed, as a reference for the download
// benchmark: the plainest WinINet loop, with the installer's 32 KiB read
// buffer and the same request flags, from one URL into one file.
//
//   wininet_loop URL TARGET
//
// Prints key=value lines: result (1 when the whole body was written),
// status, bytes, open_ms (InternetOpenUrl: connection, TLS and the answer
// headers), body_ms (the read loop), peak_working_set. Exit code 0 on
// success, 1 on a failed download, 2 on bad arguments.
//
// Waits are WinINet's own, bounded by the 30 s connect, send and receive
// time-outs set on the session.
#include <windows.h>

#include <psapi.h>
#include <wininet.h>

#include <cstdio>

#include "base/scoped_handle.h"
#include "base/scoped_internet_handle.h"

namespace {

constexpr DWORD kBufferSize = 32 * 1024;
constexpr DWORD kTimeoutMs = 30000;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER value;
    ::QueryPerformanceFrequency(&value);
    return value;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wininet_loop URL TARGET\n");
    return 2;
  }
  const double start = NowMs();
  base::ScopedInternetHandle session(::InternetOpenW(
      L"wininet_loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session.IsValid()) {
    std::printf("result=0\nerror=internet_open-%lu\n", ::GetLastError());
    return 1;
  }
  DWORD timeout = kTimeoutMs;
  for (DWORD option :
       {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
        INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    ::InternetSetOptionW(session.Get(), option, &timeout, sizeof(timeout));
  }
  base::ScopedInternetHandle request(::InternetOpenUrlW(
      session.Get(), argv[1], nullptr, 0, INTERNET_FLAG_RELOAD, 0));
  if (!request.IsValid()) {
    std::printf("result=0\nerror=internet_open_url-%lu\n", ::GetLastError());
    return 1;
  }
  const double opened = NowMs();
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  ::HttpQueryInfoW(request.Get(),
                   HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                   &status_size, nullptr);

  base::ScopedFile file(::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.IsValid()) {
    std::printf("result=0\nerror=create_file-%lu\n", ::GetLastError());
    return 1;
  }
  static char buffer[kBufferSize];
  unsigned long long bytes = 0;
  bool ok = status == 200;
  while (ok) {
    DWORD read = 0;
    if (!::InternetReadFile(request.Get(), buffer, kBufferSize, &read)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    DWORD written = 0;
    ok = ::WriteFile(file.Get(), buffer, read, &written, nullptr) &&
         written == read;
    bytes += read;
  }
  const double done = NowMs();
  file.Reset();

  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf(
      "result=%d\nstatus=%lu\nbytes=%llu\nopen_ms=%.1f\nbody_ms=%.1f\n"
      "peak_working_set=%lu\n",
      ok ? 1 : 0, status, bytes, opened - start, done - opened,
      static_cast<unsigned long>(memory.PeakWorkingSetSize));
  return ok ? 0 : 1;
}
