// Blocking the thread for a span of time.
#pragma once

#include "base/duration.h"

namespace tembra {

// Waits on a high-resolution timer; when the timer cannot be made, set or waited on, sleeps
// the whole span in milliseconds instead. Reports nothing.
void pause_for(Duration duration);

}  // namespace tembra
