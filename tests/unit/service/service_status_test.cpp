#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "service/service_handles.h"
#include "service/service_status.h"
#include "support/failure_matchers.h"
#include "support/sim_fixture.h"

namespace {

using ::testing::ElementsAre;
using Request = ServiceControlRequest;

SERVICE_STATUS_PROCESS queried(DWORD state) {
  return SERVICE_STATUS_PROCESS{SERVICE_WIN32_OWN_PROCESS, state, 0, 0, 0, 0, 0, 0, 0};
}

// The raw state the "service status" error names, if decoding failed with it.
std::optional<std::uint32_t> rejected_state(
    const std::expected<ServiceStatusRecord, ServiceControlError>& decoded) {
  if (decoded) {
    return std::nullopt;
  }
  const auto* parse = std::get_if<ServiceControlError::ParseValue>(&decoded.error().kind());
  if (parse == nullptr || parse->label != "service status") {
    return std::nullopt;
  }
  const auto* raw = std::get_if<RawValueError::InvalidInteger>(&parse->raw_value.kind());
  return raw == nullptr ? std::nullopt : std::optional(raw->value);
}

using ServiceStatusDecoding = SimTest;

TEST_F(ServiceStatusDecoding, EachOfTheSevenStates) {
  for (DWORD state = 1; state <= 7; ++state) {
    const auto decoded = decode_service_status(queried(state));
    ASSERT_TRUE(decoded) << state;
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
  SERVICE_STATUS_PROCESS raw = queried(SERVICE_RUNNING);
  raw.dwServiceType = 0x1F3;
  raw.dwControlsAccepted = 0xFFFFFFFF;
  auto decoded = decode_service_status(raw);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->service_type, 0x173u);
  EXPECT_EQ(decoded->controls_accepted, 0x7FFu);

  raw.dwServiceType = 0x4;
  raw.dwControlsAccepted = 0xFFFFF800;
  decoded = decode_service_status(raw);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->service_type, 0u);
  EXPECT_EQ(decoded->controls_accepted, 0u);
}

TEST_F(ServiceStatusDecoding, ServiceSpecificExitCodeOnlyBehind1066) {
  SERVICE_STATUS_PROCESS raw = queried(SERVICE_STOPPED);
  raw.dwServiceSpecificExitCode = 7;
  raw.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
  EXPECT_EQ(decode_service_status(raw)->exit_code,
            (ServiceExitCode{ServiceExitCode::Kind::ServiceSpecific, 7}));
  raw.dwWin32ExitCode = 0;
  EXPECT_EQ(decode_service_status(raw)->exit_code,
            (ServiceExitCode{ServiceExitCode::Kind::Win32, 0}));
  raw.dwWin32ExitCode = 1067;
  EXPECT_EQ(decode_service_status(raw)->exit_code,
            (ServiceExitCode{ServiceExitCode::Kind::Win32, 1067}));
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
    ASSERT_TRUE(decoded);
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

// ---- The calls on an opened service ------------------------------------------------------------

class ServiceCalls : public SimTest {
 protected:
  // Opens the service, installed as `service` describes.
  ServiceHandle open(sim::Service service, DWORD access = 0x10024) {
    service.name = units_of(kServiceName);
    sim::add_service(std::move(service));
    manager_.emplace(std::move(*ServiceManagerHandle::connect(SC_MANAGER_CONNECT)));
    auto opened = manager_->open_service(kServiceName, access);
    EXPECT_TRUE(opened);
    return std::move(*opened);
  }
  std::string svc() const { return handle_label(1); }

  std::optional<ServiceManagerHandle> manager_;
};

TEST_F(ServiceCalls, QueryPassesLevelZeroAndA36ByteBuffer) {
  sim::Service service;
  service.status = {
      SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 3, 2500, 4321, 0};
  const ServiceHandle handle = open(std::move(service));
  const auto status = handle.query_status();
  ASSERT_TRUE(status);
  EXPECT_EQ(status->current_state, ServiceState::Running);
  EXPECT_EQ(status->controls_accepted, SERVICE_ACCEPT_STOP);
  EXPECT_EQ(status->checkpoint, 3u);
  EXPECT_EQ(status->process_id, 4321u);
  EXPECT_THAT(sim::calls_to({"QueryServiceStatusEx"}),
              ElementsAre("QueryServiceStatusEx(" + svc() + ", 0, ptr, 36, ptr) = 1"));
}

TEST_F(ServiceCalls, RefusedQueryIsAWinapiErrorWithTheCodeReadAtOnce) {
  const ServiceHandle handle = open({}, SERVICE_STOP);  // no right to query
  EXPECT_THAT(handle.query_status(), FailsWithOsError(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(code_read_right_after("QueryServiceStatusEx", ERROR_ACCESS_DENIED));
}

TEST_F(ServiceCalls, QueriedUndecodableStateFails) {
  sim::Service service;
  service.status.dwCurrentState = 8;
  EXPECT_EQ(rejected_state(open(std::move(service)).query_status()), 8u);
}

TEST_F(ServiceCalls, StopReplyIsDecodedWithoutProcessId) {
  sim::Service service;
  service.status = {
      SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0, 4321, 0};
  const ServiceHandle handle = open(std::move(service));
  const auto reply = handle.send_control(Request(Request::Stop{}));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->current_state, ServiceState::StopPending);
  EXPECT_EQ(reply->process_id, std::nullopt);
  EXPECT_THAT(sim::calls_to({"ControlService"}),
              ElementsAre("ControlService(" + svc() + ", 1, ptr) = 1"));
}

TEST_F(ServiceCalls, RefusedRequestIsAWinapiErrorWithTheCodeReadAtOnce) {
  sim::Service service;
  service.status.dwCurrentState = SERVICE_RUNNING;
  service.control_answer = sim::ControlAnswer::Refuse;
  service.refusal_code = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  EXPECT_THAT(open(std::move(service)).send_control(Request(Request::Stop{})),
              FailsWithOsError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_TRUE(code_read_right_after("ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
}

TEST_F(ServiceCalls, AcceptedRequestWithUndecodableReplyFails) {
  sim::Service service;
  service.status.dwCurrentState = SERVICE_RUNNING;
  service.control_answer = sim::ControlAnswer::ReplyBadState;
  service.reply_state = 9;
  EXPECT_EQ(rejected_state(open(std::move(service)).send_control(Request(Request::Stop{}))), 9u);
  EXPECT_THAT(sim::calls_to({"ControlService"}), ElementsAre(::testing::EndsWith(" = 1")));
}

// ---- The request table -------------------------------------------------------------------------

struct RequestCode {
  Request::Kind request;
  DWORD code;
};

class RequestTable : public ServiceCalls, public ::testing::WithParamInterface<RequestCode> {};

TEST_P(RequestTable, SendsItsControlCode) {
  sim::Service service;
  service.status.dwCurrentState = SERVICE_RUNNING;
  const ServiceHandle handle = open(std::move(service));
  const Request request(GetParam().request);
  EXPECT_EQ(request.control_code(), GetParam().code);
  EXPECT_TRUE(handle.send_control(request));
  EXPECT_THAT(sim::calls_to({"ControlService"}),
              ElementsAre("ControlService(" + svc() + ", " + std::to_string(GetParam().code) +
                          ", ptr) = 1"));
}

INSTANTIATE_TEST_SUITE_P(
    AllPositions, RequestTable,
    ::testing::Values(
        RequestCode{Request::Continue{}, 3}, RequestCode{Request::Interrogate{}, 4},
        RequestCode{Request::NetBindAdd{}, 7}, RequestCode{Request::NetBindDisable{}, 10},
        RequestCode{Request::NetBindEnable{}, 9}, RequestCode{Request::NetBindRemove{}, 8},
        RequestCode{Request::ParamChange{}, 6}, RequestCode{Request::Pause{}, 2},
        RequestCode{Request::Preshutdown{}, 15}, RequestCode{Request::Shutdown{}, 5},
        RequestCode{Request::Stop{}, 1}, RequestCode{Request::HardwareProfileChange{}, 12},
        RequestCode{Request::PowerEvent{}, 13}, RequestCode{Request::SessionChange{5, 2}, 14},
        RequestCode{Request::TimeChange{}, 16}, RequestCode{Request::TriggerEvent{}, 32},
        RequestCode{Request::UserEvent{200}, 200}, RequestCode{Request::UserEvent{5}, 5},
        RequestCode{Request::UserEvent{0xFFFFFFFF}, 0xFFFFFFFF}),
    [](const auto& info) {
      return "Position" + std::to_string(info.param.request.index()) + "_" +
             std::to_string(info.param.code);
    });

using RequestTablePositions = SimTest;

TEST_F(RequestTablePositions, FollowTheDeclaredOrder) {
  EXPECT_EQ(Request::Kind(Request::Continue{}).index(), 0u);
  EXPECT_EQ(Request::Kind(Request::Stop{}).index(), 10u);
  EXPECT_EQ(Request::Kind(Request::SessionChange{}).index(), 13u);
  EXPECT_EQ(Request::Kind(Request::UserEvent{}).index(), 16u);
  EXPECT_EQ(std::variant_size_v<Request::Kind>, 17u);
}

}  // namespace
