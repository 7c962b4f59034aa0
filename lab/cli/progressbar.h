// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <cstdio>

// A one-line progress bar on standard error, redrawn a few times a second, for a person
// watching a terminal; it draws nothing when disabled.
class ProgressBar
{
public:
    // What is counted: the generations of a run, or the runs of a sweep, which also get an
    // estimate of the time left.
    enum class Counting { Generations, Runs };

    ProgressBar(qint64 total, bool enabled, std::FILE *out = stderr, Counting counting = Counting::Generations);
    void Update(qint64 done);
    // Clears the line so that what follows starts on a clean one.
    void Finish();

private:
    void draw(qint64 done);

    qint64 total_;
    bool enabled_;
    std::FILE *out_;
    Counting counting_;
    QElapsedTimer sinceDrawn_;
    QElapsedTimer sinceStart_;
};
