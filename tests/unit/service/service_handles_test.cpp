// Connecting to the manager, opening the service by name, deleting it, and closing both handles;
// the status query and the control requests on an opened service.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>
#include <variant>

#include "platform/sim/simulator.h"
#include "service/service_handles.h"
#include "support/opened_service.h"
#include "support/service_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using Request = ServiceControlRequest;

using ServiceHandlesTest = SimTest;

TEST_F(ServiceHandlesTest, NameWithInteriorNulFailsBeforeThePlatformIsAsked) {
  auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
  ASSERT_THAT(manager, Succeeds());
  auto service = manager->open_service(std::string_view("tembra\0service", 14), 0x10024);
  ASSERT_THAT(service, FailsWithText("service name contains a nul byte"));
  const auto* nul = std::get_if<ServiceControlError::ArgumentHasNulByte>(&service.error().kind());
  ASSERT_NE(nul, nullptr);
  EXPECT_EQ(nul->label, "service name");
  EXPECT_TRUE(sim::calls_to({"OpenServiceW"}).empty());
}

TEST_F(ServiceHandlesTest, EmptyNameIsLeftToThePlatform) {
  auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
  ASSERT_THAT(manager, Succeeds());
  auto service = manager->open_service("", SERVICE_QUERY_STATUS);
  ASSERT_THAT(service, FailsWithOsError(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_TRUE(std::holds_alternative<ServiceControlError::Winapi>(service.error().kind()));
  EXPECT_THAT(sim::calls_to({"OpenServiceW"}),
              ::testing::ElementsAre("OpenServiceW(" + handle_label(0) + ", u\"\", 0x4) = null"));
}

TEST_F(ServiceHandlesTest, HandleSurvivesARefusedDeletionAndIsClosedOnce) {
  install_service(SERVICE_STOPPED);
  {
    auto manager = ServiceManagerHandle::connect(SC_MANAGER_CONNECT);
    ASSERT_THAT(manager, Succeeds());
    auto service = manager->open_service("tembra_service", DELETE);
    ASSERT_THAT(service, Succeeds());
    sim::fail_next("DeleteService", ERROR_ACCESS_DENIED);
    EXPECT_THAT(service->delete_service(), FailsWithOsError(ERROR_ACCESS_DENIED));
    EXPECT_THAT(service->delete_service(), Succeeds()) << "the handle is still open and usable";
    ServiceHandle moved = std::move(*service);
  }
  EXPECT_TRUE(every_handle_closed_once());
}

using ServiceStatusCallsTest = OpenedServiceTest;

TEST_F(ServiceStatusCallsTest, QueryPassesLevelZeroAndA36ByteBuffer) {
  const ServiceHandle handle = open(
      {SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 3, 2500, 4321, 0});
  const auto status = handle.query_status();
  ASSERT_THAT(status, Succeeds());
  EXPECT_EQ(status->current_state, ServiceState::Running);
  EXPECT_EQ(status->controls_accepted, SERVICE_ACCEPT_STOP);
  EXPECT_EQ(status->checkpoint, 3u);
  EXPECT_EQ(status->process_id, 4321u);
  EXPECT_THAT(sim::calls_to({"QueryServiceStatusEx"}),
              ElementsAre("QueryServiceStatusEx(" + svc() + ", 0, ptr, 36, ptr) = 1"));
}

TEST_F(ServiceStatusCallsTest, RefusedQueryIsAWinapiErrorWithTheCodeReadAtOnce) {
  const ServiceHandle handle = open({}, SERVICE_STOP);  // no right to query
  EXPECT_THAT(handle.query_status(), FailsWithOsError(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(code_read_right_after("QueryServiceStatusEx", ERROR_ACCESS_DENIED));
}

TEST_F(ServiceStatusCallsTest, QueriedUndecodableStateFails) {
  EXPECT_EQ(rejected_state(open(queried(8)).query_status()), 8u);
}

TEST_F(ServiceStatusCallsTest, StopReplyIsDecodedWithoutProcessId) {
  const ServiceHandle handle =
      open({SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0, 4321, 0});
  const auto reply = handle.send_control(Request(Request::Stop{}));
  ASSERT_THAT(reply, Succeeds());
  EXPECT_EQ(reply->current_state, ServiceState::StopPending);
  EXPECT_EQ(reply->process_id, std::nullopt);
  EXPECT_THAT(sim::calls_to({"ControlService"}),
              ElementsAre("ControlService(" + svc() + ", 1, ptr) = 1"));
}

TEST_F(ServiceStatusCallsTest, RefusedRequestIsAWinapiErrorWithTheCodeReadAtOnce) {
  sim::Service service;
  service.status.dwCurrentState = SERVICE_RUNNING;
  service.control_answer = sim::ControlAnswer::Refuse;
  service.refusal_code = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  EXPECT_THAT(open(std::move(service)).send_control(Request(Request::Stop{})),
              FailsWithOsError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_TRUE(code_read_right_after("ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
}

TEST_F(ServiceStatusCallsTest, AcceptedRequestWithUndecodableReplyFails) {
  sim::Service service;
  service.status.dwCurrentState = SERVICE_RUNNING;
  service.control_answer = sim::ControlAnswer::ReplyBadState;
  service.reply_state = 9;
  EXPECT_EQ(rejected_state(open(std::move(service)).send_control(Request(Request::Stop{}))), 9u);
  EXPECT_THAT(sim::calls_to({"ControlService"}), ElementsAre(::testing::EndsWith(" = 1")));
}

}  // namespace
}  // namespace tembra
