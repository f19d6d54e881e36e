// What an answer means for a resumed body, over arbitrary length headers:
// a kept answer never starts past its whole length nor after the resume
// point, and a body never exceeds the limit it was planned against.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "lite_util/response_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 14) return 0;
  uint64_t offset = 0;
  uint32_t status = 0;
  std::memcpy(&offset, data, 8);
  std::memcpy(&status, data + 8, 4);
  const auto kind = static_cast<lite::ResumeKind>(data[12] % 3);
  const uint8_t split = data[13];
  std::string_view rest(reinterpret_cast<const char*>(data + 14), size - 14);
  const size_t cut = rest.empty() ? 0 : split % (rest.size() + 1);
  std::optional<std::string_view> length = rest.substr(0, cut);
  std::optional<std::string_view> range = rest.substr(cut);
  if (split & 0x80) length.reset();
  if (split & 0x40) range.reset();
  constexpr uint64_t kLimit = 1u << 30;
  const lite::BodyPlan plan =
      lite::PlanBody(offset, kind, status, length, range, kLimit);
  using Verdict = lite::BodyPlan::Verdict;
  if (plan.verdict == Verdict::kAccept || plan.verdict == Verdict::kRestart) {
    if (plan.total && *plan.total > kLimit) __builtin_trap();
    if (plan.total && plan.start > *plan.total) __builtin_trap();
    if (plan.start != 0 && plan.start != offset) __builtin_trap();
    if (plan.verdict == Verdict::kRestart && plan.start != 0) __builtin_trap();
  } else if (plan.total || plan.start != 0) {
    __builtin_trap();
  }
  lite::ContentRange parsed;
  if (range && lite::ParseContentRange(*range, &parsed)) {
    if (parsed.last < parsed.first) __builtin_trap();
    if (parsed.total && parsed.last >= *parsed.total) __builtin_trap();
  }
  return 0;
}
