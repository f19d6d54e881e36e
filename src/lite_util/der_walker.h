// Walks DER-encoded data by lengths only (tag bytes are not interpreted).
// Every step is checked against the element that contains it, so a walk
// never reads outside the bytes it was given.
#ifndef LITE_UTIL_DER_WALKER_H_
#define LITE_UTIL_DER_WALKER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace lite {

// A position inside a bounded range of DER data.
class DerWalker {
 public:
  // Walks `data[begin, end)`; `end` is clamped to the data.
  DerWalker(std::span<const uint8_t> data, size_t begin, size_t end);
  explicit DerWalker(std::span<const uint8_t> data)
      : DerWalker(data, 0, data.size()) {}

  // The element at the current position, as a walker over its content.
  // Fails when its header is malformed or it does not fit in this range.
  std::optional<DerWalker> Enter() const;
  // Moves past the element at the current position; false (and no move)
  // when it is malformed or does not fit.
  bool Skip();
  bool SkipElements(int count);

  bool AtEnd() const { return position_ == end_; }
  size_t position() const { return position_; }
  size_t end() const { return end_; }
  // The bytes from the current position to the end of this range.
  std::span<const uint8_t> Remaining() const {
    return data_.subspan(position_, end_ - position_);
  }

  // The element at the current position: where its content starts and how
  // long it is. Lengths: below 0x80 direct; 0x81..0x84 announce 1 to 4
  // big-endian length bytes; anything else is malformed.
  struct Header {
    size_t content_begin;
    size_t content_length;
  };
  std::optional<Header> ReadHeader() const;

 private:
  std::span<const uint8_t> data_;
  size_t position_;
  size_t end_;
};

}  // namespace lite

#endif  // LITE_UTIL_DER_WALKER_H_
