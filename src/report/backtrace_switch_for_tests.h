// TEST SUPPORT ONLY. The program itself never forgets its backtrace decision.
#pragma once

namespace tembra {

// Forgets the decision, so that the next capture reads the environment again.
void reset_backtrace_switch_for_tests();

}  // namespace tembra
