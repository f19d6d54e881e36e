// What an HTTP answer means for a body being downloaded, possibly resumed
// after the bytes a sink already holds: where the answer's bytes start in
// the whole body, how long the whole body is, and whether the answer can be
// used at all. Pure logic over the answer's status and headers.
#ifndef LITE_UTIL_RESPONSE_BODY_H_
#define LITE_UTIL_RESPONSE_BODY_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace lite {

// How a request asked to continue after `offset` bytes.
enum class ResumeKind {
  kNone,   // a fresh request (offset 0)
  kSeek,   // the request's file pointer was moved to the offset: the answer
           // describes the whole body, its bytes start at the offset
  kRange,  // the request carried "Range: bytes=<offset>-"
};

struct BodyPlan {
  enum class Verdict {
    kAccept,     // read the answer on top of what the sink holds
    kRestart,    // the answer is the whole body again: empty the sink first
    kRefuse,     // unusable for resuming: empty the sink, fail the attempt
    kTooLarge,   // longer than the sink may hold: fail the attempt
    kMalformed,  // the length headers cannot be read: fail the attempt
  };
  Verdict verdict = Verdict::kAccept;
  uint32_t expected_status = 200;  // the status a good answer carries
  uint64_t start = 0;              // where the answer's bytes begin
  std::optional<uint64_t> total;   // the whole body's length, when known
};

// `status` of the answer; `content_length` and `content_range` as sent
// (nullopt when absent). `limit`: the most bytes the body may have.
BodyPlan PlanBody(uint64_t offset, ResumeKind kind, uint32_t status,
                  std::optional<std::string_view> content_length,
                  std::optional<std::string_view> content_range,
                  uint64_t limit);

// Whether `received` bytes of the answer complete the body. A body of
// unknown length is complete whenever the answer ends.
bool IsBodyComplete(const BodyPlan& plan, uint64_t received);

// Decimal digits only (no sign, no blanks), at most 2^64 - 1.
bool ParseDecimal64(std::string_view text, uint64_t* value);

struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  std::optional<uint64_t> total;  // nullopt for "*"
};
// "bytes FIRST-LAST/TOTAL" or "bytes FIRST-LAST/*", FIRST <= LAST < TOTAL.
bool ParseContentRange(std::string_view text, ContentRange* range);

}  // namespace lite

#endif  // LITE_UTIL_RESPONSE_BODY_H_
