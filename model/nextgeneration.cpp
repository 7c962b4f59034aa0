// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"
#include "constants.h"
#include "general.h"

namespace {

struct Offset
{
    float dx;
    float dy;
};

// The eight neighbours, in the order they are read: left, upper left, above, lower left,
// below, right, lower right, upper right.
constexpr Offset NeighbourOffsets[NeighbourReads] = {
    {-1, 0}, {-1, -1}, {0, -1}, {-1, 1}, {0, 1}, {1, 0}, {1, 1}, {1, -1},
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
        GroupIndex g = NoGroup;
        // A draw that lands on a home vacated earlier in this generation is drawn again;
        // at most 191 of the 70,225 homes are empty, so this ends almost at once.
        for (;;) {
            x = random_.NextSingle() * DrawSpan;
            y = random_.NextSingle() * DrawSpan;
            g = map.GroupAt(x, y);
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
        map.PlotResident(x, y, NoGroup);
        for (const Offset &o : NeighbourOffsets)
            ++NeighbourCount(i, map.GroupAt(x + o.dx, y + o.dy));
    }

    for (SlotIndex i = 1; i <= MovesPerGeneration; ++i) {
        const SlotIndex s = ChooseHome(MoverGroup[i], i, PrefEighths, NeighbourCount, HomeTaken);
        HomeTaken[s] = true;
        map.PlotResident(VacantX[s], VacantY[s], MoverGroup[i]);
    }
}

QDate General::DateAfterGeneration(QDate today)
{
    // Only this step and construction write the field, so it always reads back; should it
    // ever not, the calendar starts again rather than stopping.
    if (!today.isValid() || today >= LastDayBeforeWrap())
        return FirstDay();
    return today.addDays(DaysPerGeneration);
}

void General::AdvanceDate()
{
    const QDate today = dates_.Read(window_.text(CityWindow::Field::Dayt));
    window_.setText(CityWindow::Field::Dayt, 0, dates_.Write(DateAfterGeneration(today)));
}
