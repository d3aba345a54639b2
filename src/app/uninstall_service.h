// The whole job of the program: remove the service "tembra_service".
#pragma once

#include <expected>

#include "report/error_chain.h"

namespace tembra {

// Connects, opens the service, stops it unless it is stopped, deletes it, and says so on
// standard output. Handles are released service first, manager second, on every path.
[[nodiscard]] std::expected<void, ErrorChain> uninstall_service();

// Runs the procedure once, reports a failure, flushes standard output; the exit status.
[[nodiscard]] int entry_point();

}  // namespace tembra
