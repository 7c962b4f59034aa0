// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Preferences as runs take them: texts a user would type into the window's fields.

// The forms a run takes, for messages: "a fraction from 0 to 1 with its point, ...".
extern const char *const AcceptedPreference;

// Why a preference typed for a run is not one it takes, or nullopt. The window reads any text
// somehow ("4" as 4 %, "1" as all eight, "0.5%" as half, "150%" as all); a run takes only a
// text whose reading is what it plainly says: a fraction from 0 to 1 with its point (0, .5,
// 0.375, 1.0), a percentage up to 100 with its sign (0%, 12.5%, 100%), or a number from 8 up
// to 100 without it (50 is 50 %), with at most four decimals, and nothing after but the sign.
std::optional<std::string> PreferenceProblem(std::string_view text);

// Why a recorded preference cannot be run again, or nullopt: records written before runs
// took only plain texts hold any text that begins with a number that is not negative, and
// are run again as the window reads them.
std::optional<std::string> RecordedPreferenceProblem(std::string_view text);

// A text that the window reads back as exactly these eighths ("37.5%").
std::string PreferenceText(std::int16_t eighths);
