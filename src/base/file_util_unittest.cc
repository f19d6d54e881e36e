#include "base/file_util.h"

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

// Names in `directory` (which ends in a separator) matching `pattern`.
std::vector<std::wstring> Find(const std::wstring& directory,
                               const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((directory + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
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

}  // namespace
}  // namespace base
