// SPDX-License-Identifier: GPL-3.0-or-later
#include "headlesscity.h"

#include <QLocale>

namespace {
// A window's fields before the first city: the same texts the main window starts with.
const char *const StartDate = "1/1/96";
const char *const StartCount = "0";
const char *const StartPreference = ".5";
// The background of a map before anything is built; never a group's colour.
constexpr QRgb Unbuilt = qRgb(240, 240, 240);
} // namespace

HeadlessCity::HeadlessCity(quint32 seed)
    : seed_(seed)
    , map_(Unbuilt, CityMap::Picture::OnRequest)
    , random_(RandomSource::WithSeed(seed))
    , general_(*this, random_, QLocale(QLocale::English, QLocale::UnitedStates))
    , dayt_(QString::fromLatin1(StartDate))
    , population_(QString::fromLatin1(StartCount))
{
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        kount_[g] = QString::fromLatin1(StartCount);
        prop_[g] = QString::fromLatin1(StartCount);
        pref_[g] = QString::fromLatin1(StartPreference);
    }
}

QString *HeadlessCity::slot(Field field, int index)
{
    const bool inTable = index >= 1 && index <= GroupCount;
    switch (field) {
    case Field::Dayt:
        return &dayt_;
    case Field::Population:
        return &population_;
    case Field::Kount:
        return inTable ? &kount_[index] : nullptr;
    case Field::Prop:
        return inTable ? &prop_[index] : nullptr;
    case Field::Pref:
        return inTable ? &pref_[index] : nullptr;
    }
    return nullptr;
}

QString HeadlessCity::text(Field field, int index) const
{
    const QString *text = const_cast<HeadlessCity *>(this)->slot(field, index);
    return text ? *text : QString();
}

void HeadlessCity::setText(Field field, int index, const QString &text)
{
    if (QString *target = slot(field, index))
        *target = text;
}

void HeadlessCity::TypePreference(int group, const QString &text)
{
    if (group < 1 || group > GroupCount)
        return;
    pref_[group] = text;
    general_.ApplyPreference(group);
}

QDate HeadlessCity::date() const
{
    return general_.dateText().Read(dayt_);
}
