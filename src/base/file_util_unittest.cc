#include "base/file_util.h"

#include <windows.h>

#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// Names in `directory` (which ends in a separator) matching `pattern`.
std::vector<std::wstring> Find(const std::wstring& directory,
                               const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  ScopedFindHandle find(::FindFirstFileW((directory + pattern).c_str(), &data));
  if (!find.IsValid()) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find.Get(), &data));
  return names;
}

// Wine's own exports, present only when running under Wine.
using UnixFileNameFunction = char*(CDECL*)(const wchar_t*);
using DosFileNameFunction = wchar_t*(CDECL*)(const char*);

template <typename Function>
Function WineFunction(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"),
                          "wine_get_version") != nullptr;
}

// Starts a Linux program (which a Wine process can do) with `option` and
// Windows paths given as Linux ones. Wine hands out no handle of such a
// process, so callers wait for its effect.
bool StartUnixProgram(const char* program, const wchar_t* option,
                      const std::vector<std::wstring>& paths) {
  auto unix_name =
      WineFunction<UnixFileNameFunction>("wine_get_unix_file_name");
  auto dos_name = WineFunction<DosFileNameFunction>("wine_get_dos_file_name");
  if (!unix_name || !dos_name) return false;
  wchar_t* application = dos_name(program);
  if (!application) return false;
  std::wstring command_line =
      L"\"" + std::wstring(application) + L"\" " + option;
  ::HeapFree(::GetProcessHeap(), 0, application);
  for (const std::wstring& path : paths) {
    char* name = unix_name(path.c_str());
    if (!name) return false;
    command_line +=
        L" \"" + std::wstring(name, name + std::strlen(name)) + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, name);
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const bool started =
      ::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, &startup, &process) != FALSE;
  ScopedHandle thread(process.hThread);
  ScopedHandle child(process.hProcess);
  return started;
}

// Whether `path`'s attributes come to match `wanted` within 10 seconds.
bool WaitForAttributes(const std::wstring& path, bool (*wanted)(DWORD)) {
  for (int i = 0; i < 500; ++i) {
    if (wanted(::GetFileAttributesW(path.c_str()))) return true;
    ::Sleep(20);
  }
  return false;
}

bool IsReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsMissing(DWORD attributes) {
  return attributes == INVALID_FILE_ATTRIBUTES;
}

// Makes `link` a directory link to `target`: a junction where the file
// system takes one. Wine's cannot (FSCTL_SET_REPARSE_POINT answers
// ERROR_NOT_SUPPORTED, CreateSymbolicLinkW does nothing), but it shows a
// Linux symbolic link as a directory with FILE_ATTRIBUTE_REPARSE_POINT, so
// there the link is made by the Linux program ln.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
  ScopedFile handle(::CreateFileW(
      link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  bool made = false;
  if (handle.IsValid()) {
    // A mount point's reparse data: the target in the NT namespace, then
    // an empty print name.
    const std::wstring nt_target = L"\\??\\" + target;
    const WORD bytes = static_cast<WORD>(nt_target.size() * sizeof(wchar_t));
    struct {
      DWORD tag;
      WORD data_length;
      WORD reserved;
      WORD substitute_offset, substitute_length, print_offset, print_length;
      wchar_t names[MAX_PATH * 2];
    } buffer = {};
    buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.names, nt_target.c_str(), bytes);
    buffer.substitute_length = bytes;
    buffer.print_offset = bytes + sizeof(wchar_t);
    buffer.data_length = 8 + bytes + 2 * sizeof(wchar_t);
    DWORD returned = 0;
    made = ::DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, &buffer,
                             buffer.data_length + 8, nullptr, 0, &returned,
                             nullptr) != FALSE;
    handle.Reset();
  }
  if (made) return true;
  ::RemoveDirectoryW(link.c_str());
  return UnderWine() && StartUnixProgram("/bin/ln", L"-s", {target, link}) &&
         WaitForAttributes(link, IsReparsePoint);
}

class FileUtilTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = CreateUniqueDirectory(GetTempDirectory());
    ASSERT_FALSE(root_.empty());
    root_ += L"\\";
  }
  void TearDown() override { DeleteDirectoryRecursive(root_); }

  // A new folder below root_ whose path, with a trailing separator, has
  // `length` characters; its name starts with `tag`.
  std::wstring FolderOfLength(size_t length, wchar_t tag) {
    std::wstring name(length - root_.size() - 1, L'd');
    name[0] = tag;
    std::wstring folder = root_ + name + L"\\";
    EXPECT_TRUE(::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr))
        << ::GetLastError();
    return folder;
  }

  std::wstring root_;
};

TEST_F(FileUtilTest, TempFileNamesStayWithinMaxPath) {
  const struct {
    size_t length;   // of the folder, with its trailing separator
    bool separator;  // passed with the trailing separator
    DWORD error;     // 0: the file is made
  } kCases[] = {
      {kMaxTempFileDirectoryLength, true, 0},
      {kMaxTempFileDirectoryLength + 1, false, 0},  // 246 without it
      {kMaxTempFileDirectoryLength + 1, true, ERROR_FILENAME_EXCED_RANGE},
      {kMaxTempFileDirectoryLength + 10, true, ERROR_FILENAME_EXCED_RANGE},
  };
  wchar_t tag = L'a';
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.length << " " << c.separator);
    const std::wstring folder = FolderOfLength(c.length, tag++);
    const std::wstring argument =
        c.separator ? folder : folder.substr(0, folder.size() - 1);
    ::SetLastError(0);
    const std::wstring path = CreateTempFileIn(argument, L"zbx");
    if (c.error) {
      EXPECT_EQ(path, L"");
      EXPECT_EQ(::GetLastError(), c.error);
      EXPECT_TRUE(Find(folder, L"*").empty());
      continue;
    }
    ASSERT_NE(path, L"");
    EXPECT_LT(path.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(path.rfind(folder + L"zb", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), L".tmp");
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(Find(folder, L"*").size(), 1u);
  }
}

TEST_F(FileUtilTest, NoTempFileOrPathRelativeToTheCurrentDirectory) {
  wchar_t saved[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(root_.c_str()));
  for (const wchar_t* directory : {L"", L"sub\\", L"\\rooted\\", L"C:drive"}) {
    SCOPED_TRACE(testing::Message() << directory);
    ::SetLastError(0);
    EXPECT_EQ(CreateTempFileIn(directory, L"zb"), L"");
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
    EXPECT_EQ(PathInDirectory(directory, L"distrib_info"), L"");
  }
  EXPECT_TRUE(Find(root_, L"*").empty());
  EXPECT_EQ(PathInDirectory(L"C:\\t\\", L"distrib_info"),
            L"C:\\t\\distrib_info");
  EXPECT_EQ(PathInDirectory(L"\\\\server\\share\\", L"x"),
            L"\\\\server\\share\\x");
  ::SetCurrentDirectoryW(saved);
}

TEST_F(FileUtilTest, DeletingATreeNeverFollowsItsLinks) {
  const std::wstring target = root_ + L"target";
  const std::wstring tree = root_ + L"tree";
  const std::wstring link = tree + L"\\sub\\link";
  ASSERT_TRUE(CreateDirectoryRecursive(target));
  ASSERT_TRUE(CreateDirectoryRecursive(tree + L"\\sub"));
  ASSERT_TRUE(WriteBytesToFile(target + L"\\precious.txt", "keep"));
  ASSERT_TRUE(WriteBytesToFile(tree + L"\\sub\\own.txt", "mine"));
  if (!MakeDirectoryLink(link, target)) {
    GTEST_SKIP() << "no directory link could be made here";
  }
  ASSERT_TRUE(FileExists(link + L"\\precious.txt"));

  const bool deleted = DeleteDirectoryRecursive(tree);
  EXPECT_TRUE(FileExists(target + L"\\precious.txt"));
  EXPECT_FALSE(FileExists(tree + L"\\sub\\own.txt"));
  if (UnderWine()) {
    // Remove the Linux link so that the fixture can clean up.
    EXPECT_TRUE(StartUnixProgram("/bin/rm", L"-f", {link}) &&
                WaitForAttributes(link, IsMissing));
    GTEST_SKIP() << "Wine removes no Linux symbolic link through "
                    "RemoveDirectoryW or DeleteFileW (it looks at the "
                    "target: ERROR_DIR_NOT_EMPTY, ERROR_ACCESS_DENIED), so "
                    "the link and its tree stay; the target's content is "
                    "kept, which is what this test is about";
  }
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(DirectoryExists(tree));
}

}  // namespace
}  // namespace base
