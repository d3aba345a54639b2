// The control requests that can be sent to a service, and the platform code of each.
#pragma once

#include <cstdint>
#include <variant>

#include "platform/win32.h"

namespace tembra {

class ServiceControlRequest {
 public:
  struct Continue {};
  struct Interrogate {};
  struct NetBindAdd {};
  struct NetBindDisable {};
  struct NetBindEnable {};
  struct NetBindRemove {};
  struct ParamChange {};
  struct Pause {};
  struct Preshutdown {};
  struct Shutdown {};
  struct Stop {};
  struct HardwareProfileChange {};
  struct PowerEvent {};
  // What the session notification said; sending does not pass it on.
  struct SessionChange {
    std::uint32_t event_type;
    std::uint32_t session_id;
  };
  struct TimeChange {};
  struct TriggerEvent {};
  // A code of the service's own, passed on unchanged.
  struct UserEvent {
    std::uint32_t code;
  };
  using Kind =
      std::variant<Continue, Interrogate, NetBindAdd, NetBindDisable, NetBindEnable, NetBindRemove,
                   ParamChange, Pause, Preshutdown, Shutdown, Stop, HardwareProfileChange,
                   PowerEvent, SessionChange, TimeChange, TriggerEvent, UserEvent>;

  explicit ServiceControlRequest(Kind kind) : kind_(kind) {}

  // The code that ControlService is given for this request.
  DWORD control_code() const;

 private:
  Kind kind_;
};

}  // namespace tembra
