// SPDX-License-Identifier: GPL-3.0-or-later
#include "headlesscity.h"

namespace {
// A window's fields before the first city: the same texts the main window starts with.
const char *const StartDate = "1/1/96";
const char *const StartCount = "0";
const char *const StartPreference = ".5";
// The background of a map before anything is built; never a group's colour.
constexpr Rgb Unbuilt = RgbOf(240, 240, 240);
} // namespace

HeadlessCity::HeadlessCity(std::uint32_t seed)
    : seed_(seed)
    , map_(Unbuilt, CityMap::Picture::OnRequest)
    , random_(RandomSource::WithSeed(seed))
    , general_(*this, random_, forms_)
    , dayt_(StartDate)
    , population_(StartCount)
{
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        kount_[g] = StartCount;
        prop_[g] = StartCount;
        pref_[g] = StartPreference;
    }
}

std::string *HeadlessCity::slot(Field field, int index)
{
    const bool inTable = index >= 1 && index <= GroupCount;
    switch (field) {
    case Field::Dayt:
        return &dayt_;
    case Field::Population:
        return &population_;
    case Field::Kount:
        return inTable ? &kount_[std::size_t(index)] : nullptr;
    case Field::Prop:
        return inTable ? &prop_[std::size_t(index)] : nullptr;
    case Field::Pref:
        return inTable ? &pref_[std::size_t(index)] : nullptr;
    }
    return nullptr;
}

std::string HeadlessCity::text(Field field, int index) const
{
    const std::string *text = slot(field, index);
    return text ? *text : std::string();
}

void HeadlessCity::setText(Field field, int index, std::string_view text)
{
    if (std::string *target = slot(field, index))
        target->assign(text);
}

void HeadlessCity::TypePreference(int group, std::string_view text)
{
    if (group < 1 || group > GroupCount)
        return;
    pref_[std::size_t(group)] = text;
    general_.ApplyPreference(group);
}

Date HeadlessCity::date() const
{
    return forms_.ReadDate(dayt_).value_or(Date{});
}
