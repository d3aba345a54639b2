// Whether failure reports carry a stack backtrace, as the environment asks.
#pragma once

namespace tembra {

// Decided from "RUST_LIB_BACKTRACE", or when that is absent or not valid text from
// "RUST_BACKTRACE": on for any value but "0". The environment is read at the first call only.
bool backtrace_wanted();

}  // namespace tembra
