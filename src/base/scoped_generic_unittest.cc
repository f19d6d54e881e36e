#include "base/scoped_generic.h"

#include <windows.h>

#include <wininet.h>

#include <string>
#include <vector>

#include "base/file_util.h"
#include "base/scoped_gdi.h"
#include "base/scoped_handle.h"
#include "base/scoped_internet_handle.h"
#include "gtest/gtest.h"

namespace base {
namespace {

// Records what it frees, and tramples on the last error as a failing
// close would.
struct RecordingTraits {
  std::vector<int>* freed = nullptr;
  static int InvalidValue() { return -1; }
  static bool IsValid(int value) { return value >= 0; }
  void Free(int value) const {
    freed->push_back(value);
    ::SetLastError(ERROR_INVALID_HANDLE);
  }
};
using ScopedRecorded = ScopedGeneric<int, RecordingTraits>;

TEST(ScopedGenericTest, ResetFreesOnceAndKeepsTheLastError) {
  std::vector<int> freed;
  {
    ScopedRecorded value(1, RecordingTraits{&freed});
    ::SetLastError(ERROR_ACCESS_DENIED);
    value.Reset(2);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(freed, std::vector<int>{1});
    value.Reset(2);  // the same value again: nothing to free
    EXPECT_EQ(freed, std::vector<int>{1});
    ::SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(freed, (std::vector<int>{1, 2}));
}

TEST(ScopedGenericTest, TakeAndMoveHandOwnershipOn) {
  std::vector<int> freed;
  {
    ScopedRecorded first(1, RecordingTraits{&freed});
    EXPECT_EQ(first.Take(), 1);
    EXPECT_FALSE(first.IsValid());

    ScopedRecorded second(2, RecordingTraits{&freed});
    ScopedRecorded third(std::move(second));
    EXPECT_FALSE(second.IsValid());
    EXPECT_EQ(third.Get(), 2);

    // The target's own value goes, the moved one stays.
    ScopedRecorded fourth(4, RecordingTraits{&freed});
    fourth = std::move(third);
    EXPECT_EQ(freed, std::vector<int>{4});
    EXPECT_EQ(fourth.Get(), 2);

    *fourth.Receive() = 5;  // an out-parameter frees what was held
    EXPECT_EQ(freed, (std::vector<int>{4, 2}));
  }
  // 1 was taken; 5 goes with `fourth`; nothing else is left.
  EXPECT_EQ(freed, (std::vector<int>{4, 2, 5}));
}

// Each owner frees its kind through the system (the object is gone
// afterwards) and keeps the caller's last error while doing so.
template <typename Scoped>
void ExpectFreed(Scoped scoped, bool (*gone)(typename Scoped::element_type),
                 const char* kind) {
  SCOPED_TRACE(kind);
  ASSERT_TRUE(scoped.IsValid());
  const auto value = scoped.Get();
  ::SetLastError(ERROR_ACCESS_DENIED);
  scoped.Reset();
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(scoped.IsValid());
  if (gone) {
    EXPECT_TRUE(gone(value));
  }
}

bool HandleGone(HANDLE handle) {
  DWORD flags = 0;
  return !::GetHandleInformation(handle, &flags);
}

TEST(ScopedGenericTest, EveryKindIsFreed) {
  const std::wstring directory = CreateUniqueDirectory(GetTempDirectory());
  ASSERT_FALSE(directory.empty());
  const std::wstring file = directory + L"\\f.bin";
  ASSERT_TRUE(WriteBytesToFile(file, "mapped"));

  ExpectFreed(ScopedHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
              HandleGone, "event");
  ExpectFreed(ScopedFile(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr)),
              HandleGone, "file");
  WIN32_FIND_DATAW data;
  ExpectFreed(
      ScopedFindHandle(::FindFirstFileW((directory + L"\\*").c_str(), &data)),
      +[](HANDLE find) {
        WIN32_FIND_DATAW next;
        return !::FindNextFileW(find, &next) &&
               ::GetLastError() == ERROR_INVALID_HANDLE;
      },
      "search");
  {
    ScopedFile source(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ScopedHandle mapping(::CreateFileMappingW(source.Get(), nullptr,
                                              PAGE_READONLY, 0, 0, nullptr));
    ExpectFreed(
        ScopedMappedView(
            ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0)),
        +[](void* view) {
          MEMORY_BASIC_INFORMATION info = {};
          return ::VirtualQuery(view, &info, sizeof(info)) != 0 &&
                 info.State == MEM_FREE;
        },
        "mapped view");
  }
  HKEY key = nullptr;
  ASSERT_EQ(
      ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZarvexLiteTests\\scoped",
                        0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  ExpectFreed(
      ScopedRegistryKey(key),
      +[](HKEY closed) {
        DWORD subkeys = 0;
        return ::RegQueryInfoKeyW(closed, nullptr, nullptr, nullptr, &subkeys,
                                  nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_INVALID_HANDLE;
      },
      "registry key");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZarvexLiteTests\\scoped");
  ExpectFreed(ScopedModule(::LoadLibraryExW(GetExecutablePath().c_str(),
                                            nullptr, LOAD_LIBRARY_AS_DATAFILE)),
              nullptr, "module");
  ExpectFreed(
      ScopedLocalMemory<char>(static_cast<char*>(::LocalAlloc(LMEM_FIXED, 16))),
      nullptr, "local memory");
  ExpectFreed(
      ScopedInternetHandle(::InternetOpenW(L"test", INTERNET_OPEN_TYPE_DIRECT,
                                           nullptr, nullptr, 0)),
      +[](HINTERNET closed) {
        DWORD type = 0;
        DWORD size = sizeof(type);
        return !::InternetQueryOptionW(closed, INTERNET_OPTION_HANDLE_TYPE,
                                       &type, &size);
      },
      "internet handle");
  ExpectFreed(
      ScopedBrush(::CreateSolidBrush(RGB(1, 2, 3))),
      +[](HBRUSH brush) { return ::GetObjectType(brush) == 0; }, "brush");
  ExpectFreed(
      ScopedBitmap(::CreateBitmap(4, 4, 1, 32, nullptr)),
      +[](HBITMAP bitmap) { return ::GetObjectType(bitmap) == 0; }, "bitmap");
  ExpectFreed(
      ScopedMemoryDc(::CreateCompatibleDC(nullptr)),
      +[](HDC dc) { return ::GetObjectType(dc) == 0; }, "memory dc");

  ::DeleteFileW(file.c_str());
  DeleteDirectoryRecursive(directory);
}

TEST(ScopedGenericTest, SelectedObjectIsPutBack) {
  ScopedGetDc screen(nullptr);
  ASSERT_TRUE(screen.IsValid());
  ScopedMemoryDc dc(::CreateCompatibleDC(screen.Get()));
  ASSERT_TRUE(dc.IsValid());
  const HGDIOBJ original = ::GetCurrentObject(dc.Get(), OBJ_FONT);
  ScopedFont font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
  ASSERT_TRUE(font.IsValid());
  {
    ScopedSelectObject selected(dc.Get(), font.Get());
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_FONT), font.Get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_FONT), original);
}

}  // namespace
}  // namespace base
