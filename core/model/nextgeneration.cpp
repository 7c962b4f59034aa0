// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"
#include "citymap.h"
#include "constants.h"
#include "general.h"

namespace {

// The eight neighbours, in the order they are read: left, upper left, above, lower left,
// below, right, lower right, upper right; each one unit away from the vacated home.
constexpr int NeighbourSteps[NeighbourReads] = {
    CityMap::NeighbourStep(-1, 0), CityMap::NeighbourStep(-1, -1), CityMap::NeighbourStep(0, -1),
    CityMap::NeighbourStep(-1, 1), CityMap::NeighbourStep(0, 1),   CityMap::NeighbourStep(1, 0),
    CityMap::NeighbourStep(1, 1),  CityMap::NeighbourStep(1, -1),
};

} // namespace

void General::NextGeneration()
{
    NeighbourCount = {};
    HomeTaken = {};

    AdvanceDate();

    CityMap &map = window_.map();
    for (SlotIndex i = 1; i <= MovesPerGeneration; ++i) {
        float x = 0;
        float y = 0;
        CityMap::Home home = 0;
        GroupIndex g = NoGroup;
        // A draw that lands on a home vacated earlier in this generation is drawn again;
        // at most 191 of the 70,225 homes are empty, so this ends almost at once.
        for (;;) {
            x = random_.NextSingle() * DrawSpan;
            y = random_.NextSingle() * DrawSpan;
            // Draws in [0, 264) always land on the map.
            home = CityMap::HomeAt(x, y).value_or(0);
            g = map.GroupIn(home);
            if (i == 1 && g == NoGroup) {
                // Between generations every home is occupied: the map is damaged.
                window_.endAtOnce();
                return;
            }
            if (g >= 1)
                break;
        }
        MoverGroup[i] = g;
        VacantX[i] = x;
        VacantY[i] = y;
        vacantHome_[i] = home;
        map.PlotResidentIn(home, NoGroup);
        NeighbourCountTable::Census census{};
        for (const int step : NeighbourSteps)
            ++census[map.GroupIn(home + step)];
        NeighbourCount.RecordCensus(i, census);
    }

    for (SlotIndex i = 1; i <= MovesPerGeneration; ++i) {
        const SlotIndex s = ChooseHome(MoverGroup[i], i, PrefEighths, NeighbourCount, HomeTaken);
        HomeTaken[s] = true;
        map.PlotResidentIn(vacantHome_[s], MoverGroup[i]);   // the home at (VacantX, VacantY)
    }
}

void General::AdvanceDate()
{
    // Reading a date text is slow; the text this step wrote last time reads back as the
    // date it was written from, so that one is remembered.
    const std::string text = window_.text(CityWindow::Field::Dayt);
    const Date today = text == lastDateText_ ? lastDate_ : forms_.ReadDate(text).value_or(Date{});
    lastDate_ = DateAfterGeneration(today);
    lastDateText_ = forms_.WriteDate(lastDate_);
    window_.setText(CityWindow::Field::Dayt, 0, lastDateText_);
}
