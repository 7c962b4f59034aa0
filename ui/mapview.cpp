// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapview.h"

#include "citymap.h"
#include "constants.h"
#include "layout.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

MapView::MapView(const CityMap &map, QWidget *parent)
    : QFrame(parent)
    , map_(map)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setLineWidth(VornLayout::MapBorderPixels);
    setFocusPolicy(Qt::StrongFocus);
    // The image covers the whole drawing area, so nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    // The map's own pixels, shown where they lie: 0xffRRGGBB is Qt's RGB32.
    const QImage picture(reinterpret_cast<const uchar *>(map_.picture()), MapSize, MapSize,
                         MapSize * int(sizeof(Rgb)), QImage::Format_RGB32);
    painter.drawImage(contentsRect().topLeft(), picture);
    if (hasFocus()) {
        // The style's own mark of the focus, kept to the border: the drawing area shows
        // the city and nothing else.
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = palette().color(QPalette::Window);
        painter.setClipRegion(QRegion(rect()).subtracted(contentsRect()));
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
