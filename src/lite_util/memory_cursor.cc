#include "lite_util/memory_cursor.h"

#include <algorithm>
#include <cstring>

namespace lite {

size_t MemoryCursor::Read(void* out, size_t count) {
  size_t available = source_.size() - position_;
  size_t n = std::min(count, available);
  if (n > 0) std::memcpy(out, source_.data() + position_, n);
  position_ += n;
  return n;
}

int64_t MemoryCursor::Seek(int64_t offset, int origin) {
  const int64_t size = static_cast<int64_t>(source_.size());
  int64_t base;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = static_cast<int64_t>(position_);
      break;
    case 2:
      base = size;
      break;
    default:
      base = 0;
      offset = 0;
      break;
  }
  // Compared before adding, so no offset can overflow the sum.
  if (offset < -base || offset > size - base) return -1;
  int64_t target = base + offset;
  position_ = static_cast<size_t>(target);
  return target;
}

}  // namespace lite
