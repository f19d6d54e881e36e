#include "lite_util/response_body.h"

#include <optional>
#include <string_view>

#include "gtest/gtest.h"

namespace lite {
namespace {

using Verdict = BodyPlan::Verdict;
constexpr uint64_t kLimit = 1000;
constexpr std::nullopt_t kAbsent = std::nullopt;

TEST(ResponseBodyTest, PlansAnswersToFreshAndResumedRequests) {
  const struct {
    const char* what;
    uint64_t offset;
    ResumeKind kind;
    uint32_t status;
    std::optional<std::string_view> length, range;
    Verdict verdict;
    uint32_t expected_status;
    uint64_t start;
    std::optional<uint64_t> total;
  } kCases[] = {
      {"fresh", 0, ResumeKind::kNone, 200, "500", kAbsent, Verdict::kAccept,
       200, 0, 500},
      {"fresh, no length", 0, ResumeKind::kNone, 200, kAbsent, kAbsent,
       Verdict::kAccept, 200, 0, kAbsent},
      {"fresh, error page", 0, ResumeKind::kNone, 404, "9", kAbsent,
       Verdict::kAccept, 200, 0, 9},
      // The request's own seek worked: the answer still announces the whole
      // body, whose bytes now start at the offset.
      {"seek", 300, ResumeKind::kSeek, 200, "500", kAbsent, Verdict::kAccept,
       200, 300, 500},
      {"seek past the end", 600, ResumeKind::kSeek, 200, "500", kAbsent,
       Verdict::kRefuse, 200, 0, kAbsent},
      {"range", 300, ResumeKind::kRange, 206, "200", "bytes 300-499/500",
       Verdict::kAccept, 206, 300, 500},
      {"range, total unknown", 300, ResumeKind::kRange, 206, "200",
       "bytes 300-499/*", Verdict::kAccept, 206, 300, 500},
      {"range ignored", 300, ResumeKind::kRange, 200, "500", kAbsent,
       Verdict::kRestart, 200, 0, 500},
      {"range from elsewhere", 300, ResumeKind::kRange, 206, "300",
       "bytes 200-499/500", Verdict::kRefuse, 200, 0, kAbsent},
      {"range without Content-Range", 300, ResumeKind::kRange, 206, "200",
       kAbsent, Verdict::kRefuse, 200, 0, kAbsent},
      {"range not satisfiable", 300, ResumeKind::kRange, 416, "0",
       "bytes */300", Verdict::kRefuse, 200, 0, kAbsent},
      {"range, server error keeps the bytes", 300, ResumeKind::kRange, 503,
       "20", kAbsent, Verdict::kAccept, 206, 300, kAbsent},
      {"range length disagrees", 300, ResumeKind::kRange, 206, "10",
       "bytes 300-499/500", Verdict::kMalformed, 200, 0, kAbsent},
      {"longer than the sink may hold", 0, ResumeKind::kNone, 200, "1001",
       kAbsent, Verdict::kTooLarge, 200, 0, kAbsent},
      // More than 32 bits: never wrapped into a small number.
      {"length beyond 32 bits", 0, ResumeKind::kNone, 200, "4294967396",
       kAbsent, Verdict::kTooLarge, 200, 0, kAbsent},
      {"range total beyond the limit", 300, ResumeKind::kRange, 206, "4000",
       "bytes 300-4299/4300", Verdict::kTooLarge, 200, 0, kAbsent},
      {"length not a number", 0, ResumeKind::kNone, 200, "12a", kAbsent,
       Verdict::kMalformed, 200, 0, kAbsent},
      {"negative length", 0, ResumeKind::kNone, 200, "-1", kAbsent,
       Verdict::kMalformed, 200, 0, kAbsent},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    BodyPlan plan =
        PlanBody(c.offset, c.kind, c.status, c.length, c.range, kLimit);
    EXPECT_EQ(plan.verdict, c.verdict);
    EXPECT_EQ(plan.expected_status, c.expected_status);
    EXPECT_EQ(plan.start, c.start);
    EXPECT_EQ(plan.total, c.total);
  }
}

TEST(ResponseBodyTest, CompletenessCountsFromWhereTheAnswerStarts) {
  BodyPlan seek = PlanBody(300, ResumeKind::kSeek, 200, "500", kAbsent, kLimit);
  EXPECT_TRUE(IsBodyComplete(seek, 200));
  EXPECT_FALSE(IsBodyComplete(seek, 199));
  BodyPlan fresh = PlanBody(0, ResumeKind::kNone, 200, "500", kAbsent, kLimit);
  EXPECT_FALSE(IsBodyComplete(fresh, 200));
  EXPECT_TRUE(IsBodyComplete(fresh, 500));
  BodyPlan unknown =
      PlanBody(0, ResumeKind::kNone, 200, kAbsent, kAbsent, kLimit);
  EXPECT_TRUE(IsBodyComplete(unknown, 0));
}

TEST(ResponseBodyTest, ParsesContentRange) {
  const struct {
    std::string_view text;
    bool ok;
    uint64_t first, last;
    std::optional<uint64_t> total;
  } kCases[] = {
      {"bytes 0-9/10", true, 0, 9, 10},
      {" bytes 5-9/*", true, 5, 9, kAbsent},
      {"bytes 9-5/10", false, 0, 0, kAbsent},
      {"bytes 0-10/10", false, 0, 0, kAbsent},
      {"bytes */10", false, 0, 0, kAbsent},
      {"items 0-9/10", false, 0, 0, kAbsent},
      {"bytes 0-9", false, 0, 0, kAbsent},
      {"bytes 0-99999999999999999999/*", false, 0, 0, kAbsent},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    ContentRange range;
    ASSERT_EQ(ParseContentRange(c.text, &range), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(range.first, c.first);
    EXPECT_EQ(range.last, c.last);
    EXPECT_EQ(range.total, c.total);
  }
}

}  // namespace
}  // namespace lite
