// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymap.h"
#include "citywindow.h"
#include "general.h"
#include "groups.h"
#include "localeforms.h"
#include "moreinfo.h"
#include "randomsource.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class MapView;

// The main window: the map, the group table, the date, the four command buttons and the
// generation clock. Its fields are the model's storage for the counts, shares and date.
class Vorn : public QWidget, public CityWindow
{
    Q_OBJECT

public:
    explicit Vorn(RandomSource::TimeOfDay timeOfDay = RandomSource::SystemTimeOfDay,
                  QWidget *parent = nullptr);
    ~Vorn() override;

    General &general() { return general_; }
    // Shows the window and waits, briefly and handling no input and no tick, until it is
    // on the screen, then paints it completely.
    void showOnScreen();
    int timerInterval() const { return timerInterval_; }
    // The beep of Start Over; replaceable so that it can be heard in a test.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    MoreInfo *moreInfo() const { return moreInfo_; }

    // CityWindow
    std::string text(Field field, int index = 0) const override;
    void setText(Field field, int index, std::string_view text) override;
    void setControlVisible(Control control, bool visible) override;
    void giveFocus(Control control) override;
    void repaintWindow() override;
    void repaintMap() override;
    CityMap &map() override { return cityMap_; }
    void setTimerInterval(int milliseconds) override;
    void showWindow() override;
    void endAtOnce() override;

    // Event handlers
    void Vorn_Pref_KeyPress(int index, int keyCode);
    void Vorn_Pref_LostFocus(int index);
    void Vorn_StartOver_Click();
    void Vorn_PauseIt_Click();
    void Vorn_ContinueIt_Click();
    void Vorn_NextGen_Timer();
    void Vorn_DisplayMore_Click();
    void Vorn_Form_Unload();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void applyColours();
    QLineEdit *field(Field field, int index) const;
    QWidget *control(Control control) const;
    int prefIndexOf(QObject *object) const;

    LocaleForms forms_;
    CityMap cityMap_;
    RandomSource random_;
    General general_;
    std::function<void()> beep_;

    MapView *map_ = nullptr;
    QLineEdit *dayt_ = nullptr;
    GroupTable<QLineEdit *> kount_{};
    GroupTable<QLineEdit *> prop_{};
    GroupTable<QLineEdit *> pref_{};
    QLineEdit *population_ = nullptr;
    QLabel *pleaseWait_ = nullptr;
    QPushButton *pauseIt_ = nullptr;
    QPushButton *continueIt_ = nullptr;
    QPushButton *startOver_ = nullptr;
    QPushButton *displayMore_ = nullptr;

    QTimer nextGen_;
    int timerInterval_ = 0;
    QPointer<MoreInfo> moreInfo_;
};
