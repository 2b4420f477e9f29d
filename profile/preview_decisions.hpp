#pragma once

// What a maintenance preview makes of what its walk found, decided apart from
// the calls that found it.

#include "common/records.hpp"
#include "profile/maintenance_preview.hpp"
#include "profile/removal_plan.hpp"

#include <cstdint>
#include <string>

// Why an entry would stay, from the status (NT status) that the open or the
// delete answered, the same that removal would meet: a sharing violation
// means that another program holds it without the sharing that removal
// needs (a scanner's hold may end within the launch's retry deadline,
// which a preview does not wait for); anything else is a refusal.
PreviewAction staying_action(std::uint32_t status);

// What the journal rule makes of an item: gone, absent, or there to stay.
RemovalOutcome outcome_of(PreviewAction action);

// The settings key that asks for the previous session's removal. A start
// page asks for it whatever "close-previous-tabs" says, and the launch
// settings keep only the two together, so "start-page" wherever there is one
// (that is the key to change to keep the session), else "close-previous-tabs".
std::string previous_session_setting(const LaunchSettings& settings);
