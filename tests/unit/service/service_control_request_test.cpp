// The control requests and the platform code each is sent with.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "platform/sim/simulator.h"
#include "service/service_control_request.h"
#include "service/service_handles.h"
#include "support/opened_service.h"
#include "support/result_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

using ::testing::ElementsAre;
using Request = ServiceControlRequest;

struct RequestCode {
  Request::Kind request;
  DWORD code;
};

class RequestTable : public OpenedServiceTest, public ::testing::WithParamInterface<RequestCode> {};

TEST_P(RequestTable, SendsItsControlCode) {
  const ServiceHandle handle = open(queried(SERVICE_RUNNING));
  const Request request(GetParam().request);
  EXPECT_EQ(request.control_code(), GetParam().code);
  EXPECT_THAT(handle.send_control(request), Succeeds());
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
}  // namespace tembra
