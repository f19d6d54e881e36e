#include "lite_util/response_body.h"

#include <limits>

namespace lite {
namespace {

constexpr uint32_t kStatusOk = 200;
constexpr uint32_t kStatusPartialContent = 206;
constexpr uint32_t kStatusRangeNotSatisfiable = 416;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

BodyPlan Verdict(BodyPlan::Verdict verdict) {
  BodyPlan plan;
  plan.verdict = verdict;
  return plan;
}

}  // namespace

bool ParseDecimal64(std::string_view text, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (result > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      return false;
    }
    result = result * 10 + digit;
  }
  *value = result;
  return true;
}

bool ParseContentRange(std::string_view text, ContentRange* range) {
  text = Trim(text);
  constexpr std::string_view kUnit = "bytes ";
  if (text.substr(0, kUnit.size()) != kUnit) return false;
  text.remove_prefix(kUnit.size());
  const size_t dash = text.find('-');
  const size_t slash = text.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos ||
      slash < dash) {
    return false;
  }
  ContentRange parsed;
  if (!ParseDecimal64(Trim(text.substr(0, dash)), &parsed.first) ||
      !ParseDecimal64(Trim(text.substr(dash + 1, slash - dash - 1)),
                      &parsed.last) ||
      parsed.last < parsed.first) {
    return false;
  }
  const std::string_view total = Trim(text.substr(slash + 1));
  if (total != "*") {
    uint64_t value = 0;
    if (!ParseDecimal64(total, &value) || parsed.last >= value) return false;
    parsed.total = value;
  }
  *range = parsed;
  return true;
}

BodyPlan PlanBody(uint64_t offset, ResumeKind kind, uint32_t status,
                  std::optional<std::string_view> content_length,
                  std::optional<std::string_view> content_range,
                  uint64_t limit) {
  std::optional<uint64_t> length;
  if (content_length) {
    uint64_t value = 0;
    if (!ParseDecimal64(Trim(*content_length), &value)) {
      return Verdict(BodyPlan::Verdict::kMalformed);
    }
    length = value;
  }

  BodyPlan plan;
  if (kind == ResumeKind::kNone || offset == 0) {
    plan.total = length;
  } else if (kind == ResumeKind::kSeek) {
    // The answer still describes the whole body.
    if (length && *length < offset) {
      return Verdict(BodyPlan::Verdict::kRefuse);
    }
    plan.start = offset;
    plan.total = length;
  } else if (status == kStatusOk) {
    // The server ignored the range and sends everything again.
    plan.verdict = BodyPlan::Verdict::kRestart;
    plan.total = length;
  } else if (status == kStatusPartialContent) {
    ContentRange range;
    if (!content_range || !ParseContentRange(*content_range, &range) ||
        range.first != offset) {
      return Verdict(BodyPlan::Verdict::kRefuse);
    }
    const uint64_t count = range.last - range.first + 1;
    if (length && *length != count) {
      return Verdict(BodyPlan::Verdict::kMalformed);
    }
    plan.expected_status = kStatusPartialContent;
    plan.start = offset;
    plan.total = range.total ? range.total : range.last + 1;
  } else if (status == kStatusRangeNotSatisfiable) {
    return Verdict(BodyPlan::Verdict::kRefuse);
  } else {
    // Another failure (404, 503, ...): the attempt fails on its status and
    // what the sink holds stays for a later attempt.
    plan.expected_status = kStatusPartialContent;
    plan.start = offset;
  }
  if (plan.total && *plan.total > limit) {
    return Verdict(BodyPlan::Verdict::kTooLarge);
  }
  return plan;
}

bool IsBodyComplete(const BodyPlan& plan, uint64_t received) {
  if (!plan.total) return true;
  return plan.start + received == *plan.total;
}

}  // namespace lite
