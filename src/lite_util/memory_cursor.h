// A read position over bytes held in memory, with the read and seek rules of
// a file: reads stop at the end, seeks never leave [0, size].
#ifndef LITE_UTIL_MEMORY_CURSOR_H_
#define LITE_UTIL_MEMORY_CURSOR_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lite {

class MemoryCursor {
 public:
  explicit MemoryCursor(std::string_view source) : source_(source) {}

  // Copies up to `count` bytes from the position and advances it; returns
  // the number copied.
  size_t Read(void* out, size_t count);

  // Moves from the start (origin 0), the position (1) or the end (2); any
  // other origin counts from the start with offset 0. A target below 0 or
  // beyond the size leaves the position alone and gives -1; otherwise the
  // new position.
  int64_t Seek(int64_t offset, int origin);

  size_t position() const { return position_; }

 private:
  std::string_view source_;
  size_t position_ = 0;
};

}  // namespace lite

#endif  // LITE_UTIL_MEMORY_CURSOR_H_
