// Decoding the platform's status records: the seven states, bit sets, exit codes, wait hints and
// process ids.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "service/service_status.h"
#include "support/service_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ServiceStatusDecoding = SimTest;

TEST_F(ServiceStatusDecoding, EachOfTheSevenStates) {
  for (DWORD state = 1; state <= 7; ++state) {
    const auto decoded = decode_service_status(queried(state));
    ASSERT_THAT(decoded, Succeeds()) << state;
    EXPECT_EQ(static_cast<DWORD>(decoded->current_state), state);
  }
  EXPECT_EQ(decode_service_status(queried(1))->current_state, ServiceState::Stopped);
  EXPECT_EQ(decode_service_status(queried(7))->current_state, ServiceState::Paused);
}

TEST_F(ServiceStatusDecoding, StateOutsideOneToSevenFailsWithTheRawValue) {
  for (DWORD state : {0u, 8u, 9u, 0x80000001u, 4294967295u}) {
    EXPECT_EQ(rejected_state(decode_service_status(queried(state))), state);
    SERVICE_STATUS reply{SERVICE_WIN32_OWN_PROCESS, state, 0, 0, 0, 0, 0};
    EXPECT_EQ(rejected_state(decode_service_status(reply)), state);
  }
}

TEST_F(ServiceStatusDecoding, BitSetsDropUndefinedBits) {
  struct Row {
    DWORD type, accepted, decoded_type, decoded_accepted;
  };
  for (const Row row : {Row{0x1F3, 0xFFFFFFFF, 0x173, 0x7FF}, Row{0x4, 0xFFFFF800, 0, 0}}) {
    SERVICE_STATUS_PROCESS raw = queried(SERVICE_RUNNING);
    raw.dwServiceType = row.type;
    raw.dwControlsAccepted = row.accepted;
    const auto decoded = decode_service_status(raw);
    ASSERT_THAT(decoded, Succeeds()) << row.type;
    EXPECT_EQ(decoded->service_type, row.decoded_type);
    EXPECT_EQ(decoded->controls_accepted, row.decoded_accepted);
  }
}

TEST_F(ServiceStatusDecoding, ServiceSpecificExitCodeOnlyBehind1066) {
  SERVICE_STATUS_PROCESS raw = queried(SERVICE_STOPPED);
  raw.dwServiceSpecificExitCode = 7;
  using enum ServiceExitCode::Kind;
  for (const auto& [win32, code] :
       {std::pair{DWORD{ERROR_SERVICE_SPECIFIC_ERROR}, ServiceExitCode{ServiceSpecific, 7}},
        {DWORD{0}, ServiceExitCode{Win32, 0}},
        {DWORD{1067}, ServiceExitCode{Win32, 1067}}}) {
    raw.dwWin32ExitCode = win32;
    EXPECT_EQ(decode_service_status(raw)->exit_code, code) << win32;
  }
}

TEST_F(ServiceStatusDecoding, WaitHintInSecondsAndNanoseconds) {
  struct Case {
    DWORD millis;
    Duration hint;
  };
  for (const Case& c :
       {Case{2500, {2, 500'000'000}}, Case{999, {0, 999'000'000}},
        Case{4294967295u, {4294967, 295'000'000}}, Case{0, {0, 0}}, Case{1000, {1, 0}}}) {
    SERVICE_STATUS_PROCESS raw = queried(SERVICE_START_PENDING);
    raw.dwWaitHint = c.millis;
    raw.dwCheckPoint = c.millis ^ 0x5A5A;
    const auto decoded = decode_service_status(raw);
    ASSERT_THAT(decoded, Succeeds());
    EXPECT_EQ(decoded->wait_hint, c.hint) << c.millis;
    EXPECT_EQ(decoded->checkpoint, c.millis ^ 0x5A5A);
  }
}

TEST_F(ServiceStatusDecoding, ProcessIdOnlyFromAQueriedRecordAndNotZero) {
  SERVICE_STATUS_PROCESS raw = queried(SERVICE_RUNNING);
  raw.dwProcessId = 1234;
  raw.dwServiceFlags = 1;
  EXPECT_EQ(decode_service_status(raw)->process_id, 1234u);
  raw.dwProcessId = 0;
  EXPECT_EQ(decode_service_status(raw)->process_id, std::nullopt);
  SERVICE_STATUS reply{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
  EXPECT_EQ(decode_service_status(reply)->process_id, std::nullopt);
}

}  // namespace
}  // namespace tembra
