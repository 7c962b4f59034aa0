// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>

#include <optional>

// What a writer of a file returns: nothing when the file is written, else one line that
// names the file and says why it is not, ready for the user.
using WriteError = std::optional<QString>;

inline QString CannotWrite(const QString &fileName, const QString &reason)
{
    return QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), reason);
}
