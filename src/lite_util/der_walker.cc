#include "lite_util/der_walker.h"

#include <algorithm>

namespace lite {

DerWalker::DerWalker(std::span<const uint8_t> data, size_t begin, size_t end)
    : data_(data),
      position_(std::min(begin, data.size())),
      end_(std::clamp(end, position_, data.size())) {}

std::optional<DerWalker::Header> DerWalker::ReadHeader() const {
  // Tag byte and first length byte.
  if (end_ - position_ < 2) return std::nullopt;
  size_t cursor = position_ + 1;
  uint8_t first = data_[cursor++];
  uint64_t length = 0;
  if (first < 0x80) {
    length = first;
  } else if (first >= 0x81 && first <= 0x84) {
    size_t count = first - 0x80;
    if (end_ - cursor < count) return std::nullopt;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | data_[cursor++];
  } else {
    return std::nullopt;
  }
  if (length > end_ - cursor) return std::nullopt;
  return Header{cursor, static_cast<size_t>(length)};
}

std::optional<DerWalker> DerWalker::Enter() const {
  std::optional<Header> header = ReadHeader();
  if (!header) return std::nullopt;
  return DerWalker(data_, header->content_begin,
                   header->content_begin + header->content_length);
}

bool DerWalker::Skip() {
  std::optional<Header> header = ReadHeader();
  if (!header) return false;
  position_ = header->content_begin + header->content_length;
  return true;
}

bool DerWalker::SkipElements(int count) {
  for (int i = 0; i < count; ++i) {
    if (!Skip()) return false;
  }
  return true;
}

}  // namespace lite
