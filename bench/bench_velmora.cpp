// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "preferencetext.h"
#include "vorn.h"

#include <QApplication>
#include <QElapsedTimer>

#include "benchmain.h"

#include <benchmark/benchmark.h>


using Field = CityWindow::Field;

// Everything runs against the real main window, so repaints and field updates count.

static void BM_BuildCity(benchmark::State &state)
{
    Vorn vorn;
    vorn.setTimerInterval(PausedIntervalMs);
    vorn.show();
    vorn.repaint();
    for (auto _ : state)
        vorn.general().BuildCity();
    state.SetItemsProcessed(state.iterations() * CellCount);
}
BENCHMARK(BM_BuildCity)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// arg: the preference of every group in eighths; 8 is the worst case for home choice.
static void BM_NextGeneration(benchmark::State &state)
{
    Vorn vorn;
    vorn.setTimerInterval(PausedIntervalMs);
    vorn.show();
    const std::string preference = PreferenceText(std::int16_t(state.range(0)));
    for (int g = 1; g <= GroupCount; ++g)
        vorn.setText(Field::Pref, g, preference);
    vorn.general().BuildCity();
    for (auto _ : state)
        vorn.general().NextGeneration();
    state.SetItemsProcessed(state.iterations() * MovesPerGeneration);
}
BENCHMARK(BM_NextGeneration)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

// The running program: how many generation ticks the event loop delivers per second with
// the window shown and repainting (10 ms requested, so at most about 100).
static void BM_TicksPerSecond(benchmark::State &state)
{
    Vorn vorn;
    vorn.show();
    vorn.general().BuildCity();
    const FieldForms &forms = vorn.general().forms();
    auto day = [&] { return DayNumber(forms.ReadDate(vorn.text(Field::Dayt)).value_or(FirstDay)); };
    for (auto _ : state) {
        const long from = day();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double seconds = clock.nsecsElapsed() / 1e9;
        const double ticks = double(day() - from) / double(DaysPerGeneration);
        state.counters["ticks_per_s"] = ticks / seconds;
    }
}
BENCHMARK(BM_TicksPerSecond)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunBenchmarks(argc, argv);
}
