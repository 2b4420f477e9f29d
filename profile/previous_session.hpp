#pragma once

#include "profile/removal_plan.hpp"

// The engine's record of the previous session, so that it restores no tabs:
// the four session files one by one, then the "Sessions" folder whole.
RemovalPlan previous_session_plan();
