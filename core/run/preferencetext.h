// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Preferences as runs take them: texts a user would type into the window's fields.

// What a run takes, for messages: "a fraction from 0 to 1 such as .5, ...".
extern const char *const AcceptedPreference;

// Why a typed preference is not one a run takes, or nullopt. It is read as the window
// reads it, but must begin with a number that is not negative.
std::optional<std::string> PreferenceProblem(std::string_view text);

// A text that the window reads back as exactly these eighths ("37.5%").
std::string PreferenceText(std::int16_t eighths);
