// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"

QFont VelmoraFont(bool bold, int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QIcon VelmoraIcon()
{
    // The 32 x 32, 16-colour picture for title bars, and the same picture enlarged eight
    // times for task switchers and docks, which would otherwise blur it.
    QIcon icon(QStringLiteral(":/velmora/velmora.png"));
    icon.addFile(QStringLiteral(":/velmora/velmora-256.png"));
    return icon;
}
