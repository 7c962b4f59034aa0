// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class CityMap;

// The Map control: shows the city's persistent image inside a sunken 2-pixel border, on
// which the style marks the focus.
class MapView : public QFrame
{
    Q_OBJECT

public:
    MapView(const CityMap &map, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const CityMap &map_;
};
