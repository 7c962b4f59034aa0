// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <cstdio>

// A one-line progress bar on standard error, redrawn a few times a second, for a person
// watching a terminal; it draws nothing when disabled.
class ProgressBar
{
public:
    ProgressBar(qint64 total, bool enabled, std::FILE *out = stderr);
    void Update(qint64 done);
    // Clears the line so that what follows starts on a clean one.
    void Finish();

private:
    void draw(qint64 done);

    qint64 total_;
    bool enabled_;
    std::FILE *out_;
    QElapsedTimer sinceDrawn_;
};
