#include "service/service_control_request.h"

#include <array>

namespace tembra {

namespace {

// By position of the request kind; UserEvent, the last, carries its own code.
constexpr std::array<DWORD, 16> kControlCodes = {
    SERVICE_CONTROL_CONTINUE,      SERVICE_CONTROL_INTERROGATE,
    SERVICE_CONTROL_NETBINDADD,    SERVICE_CONTROL_NETBINDDISABLE,
    SERVICE_CONTROL_NETBINDENABLE, SERVICE_CONTROL_NETBINDREMOVE,
    SERVICE_CONTROL_PARAMCHANGE,   SERVICE_CONTROL_PAUSE,
    SERVICE_CONTROL_PRESHUTDOWN,   SERVICE_CONTROL_SHUTDOWN,
    SERVICE_CONTROL_STOP,          SERVICE_CONTROL_HARDWAREPROFILECHANGE,
    SERVICE_CONTROL_POWEREVENT,    SERVICE_CONTROL_SESSIONCHANGE,
    SERVICE_CONTROL_TIMECHANGE,    SERVICE_CONTROL_TRIGGEREVENT,
};
static_assert(kControlCodes.size() + 1 == std::variant_size_v<ServiceControlRequest::Kind>);

}  // namespace

DWORD ServiceControlRequest::control_code() const {
  if (const auto* user = std::get_if<UserEvent>(&kind_)) {
    return user->code;
  }
  return kControlCodes[kind_.index()];
}

}  // namespace tembra
