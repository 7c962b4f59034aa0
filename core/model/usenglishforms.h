// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fieldforms.h"

// The fields' forms in US English ("70,225", "65.00%", "1/9/2005"), written and read exactly
// as the desktop writes and reads them in that locale. Runs that must reproduce on every
// machine use them: the Lab, the Python module, the page.
class UsEnglishForms final : public FieldForms
{
public:
    std::string FormatCount(double value) const override;
    std::string FormatPercent(double fraction) const override;
    std::string FormatPreference(double fraction) const override;
    std::optional<double> ReadNumber(std::string_view text) const override;
    std::string WriteDate(Date date) const override;
    std::optional<Date> ReadDate(std::string_view text) const override;
};
