// What the tests of the calls on one service share: the manager connected and the service opened.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/sim/simulator.h"
#include "service/service_handles.h"
#include "support/service_matchers.h"
#include "support/sim_fixture.h"

namespace tembra {

class OpenedServiceTest : public SimTest {
 protected:
  // Installs the service as `service` describes (under the program's service name) and opens it.
  ServiceHandle open(sim::Service service, DWORD access = 0x10024) {
    service.name = units_of(kServiceName);
    sim::add_service(std::move(service));
    manager_.emplace(std::move(*ServiceManagerHandle::connect(SC_MANAGER_CONNECT)));
    auto opened = manager_->open_service(kServiceName, access);
    EXPECT_THAT(opened, Succeeds());
    return std::move(*opened);
  }
  // The same for a service whose record is `status` and that accepts every request.
  ServiceHandle open(const SERVICE_STATUS_PROCESS& status) {
    sim::Service service;
    service.status = status;
    return open(std::move(service));
  }
  // The log's name for the service's handle.
  static std::string svc() { return handle_label(1); }

 private:
  std::optional<ServiceManagerHandle> manager_;
};

}  // namespace tembra
