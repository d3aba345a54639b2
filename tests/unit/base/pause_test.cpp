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
  const char* failing_call;  // made to fail once, or null
  // The timer and sleep calls; "{timer}" stands for the timer's name in the log.
  std::vector<std::string> calls;
};

constexpr const char* kCreated = "CreateWaitableTimerExW(null, null, 0x2, 0x1F0003) = {timer}";
constexpr const char* kRefused = "CreateWaitableTimerExW(null, null, 0x2, 0x1F0003) = null";
constexpr const char* kWaited = "WaitForSingleObject({timer}, 4294967295) = 0";
constexpr const char* kWaitFailed = "WaitForSingleObject({timer}, 4294967295) = 4294967295";
constexpr const char* kClosed = "CloseHandle({timer}) = 1";

std::string set_to(const std::string& due, bool accepted = true) {
  return "SetWaitableTimer({timer}, " + due + ", 0, null, null, 0) = " + (accepted ? "1" : "0");
}

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
        PauseCase{"ZeroSleepsZeroWithoutATimer", {0, 0}, nullptr, {"Sleep(0)"}},
        PauseCase{"UnderOneIntervalIsDueAtOnce",
                  {0, 99},
                  nullptr,
                  {kCreated, set_to("0"), kWaited, kClosed}},
        PauseCase{"OneSecond", {1, 0}, nullptr, {kCreated, set_to("-10000000"), kWaited, kClosed}},
        PauseCase{"RemainderBelowAnIntervalIsDropped",
                  {2, 123'456'789},
                  nullptr,
                  {kCreated, set_to("-21234567"), kWaited, kClosed}},
        PauseCase{"LargestDueTime",
                  {922337203685, 477'580'700},
                  nullptr,
                  {kCreated, set_to("-9223372036854775807"), kWaited, kClosed}},
        PauseCase{"NoTimerSleepsOneAndAHalfMillisecondsAsTwo",
                  {0, 1'500'000},
                  kNoTimer,
                  {kRefused, "Sleep(2)"}},
        PauseCase{"NoTimerSleepsTwoMilliseconds", {0, 2'000'000}, kNoTimer, {kRefused, "Sleep(2)"}},
        PauseCase{"NoTimerSleepsOneSecond", {1, 0}, kNoTimer, {kRefused, "Sleep(1000)"}},
        PauseCase{
            "NoTimerSleepsANanosecondAsOneMillisecond", {0, 1}, kNoTimer, {kRefused, "Sleep(1)"}},
        PauseCase{"NoTimerLargestFiniteSleep",
                  {4294967, 294'000'000},
                  kNoTimer,
                  {kRefused, "Sleep(4294967294)"}},
        PauseCase{"NoTimerMillisecondsRoundedUpPastTheLimitAreInfinite",
                  {4294967, 294'000'001},
                  kNoTimer,
                  {kRefused, "Sleep(4294967295)"}},
        PauseCase{"DueTimeBeyondTheSignedRangeClosesTheTimerAndSleepsForever",
                  {922337203686, 0},
                  nullptr,
                  {kCreated, kClosed, "Sleep(4294967295)"}},
        PauseCase{"DueTimeOneIntervalTooLarge",
                  {922337203685, 477'580'800},
                  nullptr,
                  {kCreated, kClosed, "Sleep(4294967295)"}},
        PauseCase{"SecondsOverflowBothCounts",
                  {kMaxSeconds, 999'999'999},
                  nullptr,
                  {kCreated, kClosed, "Sleep(4294967295)"}},
        PauseCase{"RefusedSetClosesTheTimerThenSleeps",
                  {0, 1'500'000},
                  "SetWaitableTimer",
                  {kCreated, set_to("-15000", false), kClosed, "Sleep(2)"}},
        PauseCase{"FailedWaitSleepsTheWholeSpanAgain",
                  {1, 0},
                  "WaitForSingleObject",
                  {kCreated, set_to("-10000000"), kWaitFailed, kClosed, "Sleep(1000)"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tembra
