// Connecting to the manager, opening the service by name, deleting it, and closing both handles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>
#include <variant>

#include "platform/sim/simulator.h"
#include "service/service_handles.h"
#include "support/service_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {
namespace {

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

}  // namespace
}  // namespace tembra
