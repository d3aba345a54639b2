#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "base/pause.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

struct PauseCase {
  const char* name;
  Duration duration;
  // The timer and sleep calls; "{timer}" stands for the timer's name in the log.
  std::vector<std::string> calls;
  const char* failing_call = nullptr;  // made to fail once, or null
};

constexpr const char* kCreated = "CreateWaitableTimerExW(null, null, 0x2, 0x1F0003) = {timer}";
constexpr const char* kRefused = "CreateWaitableTimerExW(null, null, 0x2, 0x1F0003) = null";
constexpr const char* kWaited = "WaitForSingleObject({timer}, 4294967295) = 0";
constexpr const char* kWaitFailed = "WaitForSingleObject({timer}, 4294967295) = 4294967295";
constexpr const char* kClosed = "CloseHandle({timer}) = 1";

std::string set_to(const std::string& due, bool accepted = true) {
  return "SetWaitableTimer({timer}, " + due + ", 0, null, null, 0) = " + (accepted ? "1" : "0");
}
// A timer made, set to the due time, waited for and closed.
std::vector<std::string> timed(const std::string& due) {
  return {kCreated, set_to(due), kWaited, kClosed};
}
// A due time the timer cannot take: the timer closed unset, then a sleep without end.
const std::vector<std::string> kNeverDue = {kCreated, kClosed, "Sleep(4294967295)"};

class PauseFor : public SimTest, public ::testing::WithParamInterface<PauseCase> {};

TEST_P(PauseFor, MakesTheseCallsAndClosesTheTimerBeforeAnySleep) {
  const PauseCase& c = GetParam();
  if (c.failing_call != nullptr) {
    sim::fail_next(c.failing_call, ERROR_NOT_ENOUGH_MEMORY);
  }
  pause_for(c.duration);

  const std::string timer = sim::handles().empty() ? "" : handle_label(0);
  constexpr std::string_view kPlaceholder = "{timer}";
  std::vector<std::string> expected;
  for (std::string line : c.calls) {
    if (const auto at = line.find(kPlaceholder); at != std::string::npos) {
      line.replace(at, kPlaceholder.size(), timer);
    }
    expected.push_back(std::move(line));
  }
  // No error code is read on any path.
  EXPECT_EQ(sim::calls_to({"CreateWaitableTimerExW", "SetWaitableTimer", "WaitForSingleObject",
                           "CloseHandle", "Sleep", "GetLastError"}),
            expected);
  EXPECT_TRUE(every_handle_closed_once());
}

constexpr const char* kNoTimer = "CreateWaitableTimerExW";  // refused
constexpr std::uint64_t kMaxSeconds = std::numeric_limits<std::uint64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Paths, PauseFor,
    ::testing::Values(
        PauseCase{"ZeroSleepsZeroWithoutATimer", {0, 0}, {"Sleep(0)"}},
        PauseCase{"UnderOneIntervalIsDueAtOnce", {0, 99}, timed("0")},
        PauseCase{"OneSecond", {1, 0}, timed("-10000000")},
        PauseCase{"RemainderBelowAnIntervalIsDropped", {2, 123'456'789}, timed("-21234567")},
        PauseCase{"LargestDueTime", {922337203685, 477'580'700}, timed("-9223372036854775807")},
        PauseCase{"NoTimerSleepsOneAndAHalfMillisecondsAsTwo",
                  {0, 1'500'000},
                  {kRefused, "Sleep(2)"},
                  kNoTimer},
        PauseCase{"NoTimerSleepsTwoMilliseconds", {0, 2'000'000}, {kRefused, "Sleep(2)"}, kNoTimer},
        PauseCase{"NoTimerSleepsOneSecond", {1, 0}, {kRefused, "Sleep(1000)"}, kNoTimer},
        PauseCase{
            "NoTimerSleepsANanosecondAsOneMillisecond", {0, 1}, {kRefused, "Sleep(1)"}, kNoTimer},
        PauseCase{"NoTimerLargestFiniteSleep",
                  {4294967, 294'000'000},
                  {kRefused, "Sleep(4294967294)"},
                  kNoTimer},
        PauseCase{"NoTimerMillisecondsRoundedUpPastTheLimitAreInfinite",
                  {4294967, 294'000'001},
                  {kRefused, "Sleep(4294967295)"},
                  kNoTimer},
        PauseCase{"DueTimeBeyondTheSignedRange", {922337203686, 0}, kNeverDue},
        PauseCase{"DueTimeOneIntervalTooLarge", {922337203685, 477'580'800}, kNeverDue},
        PauseCase{"SecondsOverflowBothCounts", {kMaxSeconds, 999'999'999}, kNeverDue},
        PauseCase{"RefusedSetClosesTheTimerThenSleeps",
                  {0, 1'500'000},
                  {kCreated, set_to("-15000", false), kClosed, "Sleep(2)"},
                  "SetWaitableTimer"},
        PauseCase{"FailedWaitSleepsTheWholeSpanAgain",
                  {1, 0},
                  {kCreated, set_to("-10000000"), kWaitFailed, kClosed, "Sleep(1000)"},
                  "WaitForSingleObject"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tembra
