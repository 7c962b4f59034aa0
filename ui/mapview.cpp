// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapview.h"

#include "citymap.h"
#include "layout.h"

#include <QPainter>

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
    painter.drawImage(contentsRect().topLeft(), map_.image());
}
