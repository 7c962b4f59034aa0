// SPDX-License-Identifier: GPL-3.0-or-later
#include "vorn.h"

#include "appearance.h"
#include "constants.h"
#include "layout.h"
#include "mapview.h"
#include "moreinfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWindow>

#include <cstdlib>

namespace {

const char *const Title = "Velmora: Ethnic Group Residential Patterns";
const char *const PleaseWaitText =
    "Velmora City Simulator\n"
    "by the Velmora project\n"
    "Please wait while a new city map is constructed...";
const char *const StartOverTitle = "Start Over From Scratch";
const char *const StartOverQuestion =
    "Are you sure you want to clear the city map and start with a new population?";

constexpr int EnterKeyCode = 13;
constexpr int MaxWaitForScreenMs = 1000;   // a window server slower than this gets no wait

struct FixedLabel
{
    const char *name;
    const char *text;
    TwipRect geometry;
    Qt::Alignment alignment;
};

// The fixed labels, other than the group names.
const FixedLabel FixedLabels[] = {
    {"Label4", "Map of Velmora", VornLayout::MapTitle, Qt::AlignHCenter | Qt::AlignTop},
    {"Label3", "Date:", VornLayout::DateLabel, Qt::AlignRight | Qt::AlignTop},
    {"Clab(0)", "Group", VornLayout::GroupHeading, Qt::AlignRight | Qt::AlignTop},
    {"Label2", "Number", VornLayout::NumberHeading, Qt::AlignLeft | Qt::AlignTop},
    {"Label1", "Proportion", VornLayout::ProportionHeading, Qt::AlignLeft | Qt::AlignTop},
    {"Label5", "Preference", VornLayout::PreferenceHeading, Qt::AlignLeft | Qt::AlignTop},
    {"Clab(6)", "Population:", VornLayout::PopulationLabel, Qt::AlignRight | Qt::AlignTop},
};

QString Indexed(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

} // namespace

Vorn::Vorn(RandomSource::TimeOfDay timeOfDay, QWidget *parent)
    : QWidget(parent)
    , cityMap_(palette().color(QPalette::Window).rgb())
    , random_(std::move(timeOfDay))
    , general_(*this, random_, forms_)
    , beep_(&QApplication::beep)
{
    setObjectName(QStringLiteral("Vorn"));
    setWindowTitle(QString::fromLatin1(Title));
    setWindowIcon(VelmoraIcon());
    setFixedSize(VornLayout::Client.pixels());
    setFont(VelmoraFont(false));
    createControls();

    nextGen_.setTimerType(Qt::PreciseTimer);
    connect(&nextGen_, &QTimer::timeout, this, &Vorn::Vorn_NextGen_Timer);
    setTimerInterval(RunningIntervalMs);
}

Vorn::~Vorn()
{
    // The fields outlive the model while the base class destroys them; they must not
    // reach it then through a lost focus.
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        pref_[g]->removeEventFilter(this);
    if (moreInfo_)
        delete moreInfo_;
}

void Vorn::createControls()
{
    const QFont bold = VelmoraFont(true);

    auto makeLabel = [&](const QString &name, const QString &text, TwipRect geometry,
                         Qt::Alignment alignment) {
        auto *label = new QLabel(text, this);
        label->setObjectName(name);
        label->setGeometry(geometry.pixels());
        label->setAlignment(alignment);
        label->setFont(bold);
        return label;
    };
    auto makeField = [&](const QString &name, const QString &text, TwipRect geometry, bool editable) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setGeometry(geometry.pixels());
        edit->setEnabled(editable);   // display-only fields are disabled: no focus, no editing
        return edit;
    };
    auto makeButton = [&](const char *name, const char *caption, TwipRect geometry) {
        auto *button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(geometry.pixels());
        button->setFont(bold);
        // Enter presses the button that has the focus, and no other.
        button->setAutoDefault(true);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        return button;
    };

    map_ = new MapView(cityMap_, this);
    map_->setObjectName(QStringLiteral("Map"));
    map_->setGeometry(VornLayout::Map.pixels());

    for (const FixedLabel &label : FixedLabels)
        makeLabel(QLatin1String(label.name), QLatin1String(label.text), label.geometry, label.alignment);

    dayt_ = makeField(QStringLiteral("Dayt"), QStringLiteral("1/1/96"), VornLayout::Dayt, false);
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        makeLabel(Indexed("Clab", g), QString::fromStdString(GroupName(g)), VornLayout::InRow(VornLayout::GroupName, g),
                  Qt::AlignRight | Qt::AlignTop);
        kount_[g] = makeField(Indexed("Kount", g), QStringLiteral("0"),
                              VornLayout::InRow(VornLayout::Kount, g), false);
        prop_[g] = makeField(Indexed("Prop", g), QStringLiteral("0"),
                             VornLayout::InRow(VornLayout::Prop, g), false);
        pref_[g] = makeField(Indexed("Pref", g), QStringLiteral(".5"),
                             VornLayout::InRow(VornLayout::Pref, g), true);
        pref_[g]->installEventFilter(this);
    }
    population_ = makeField(QStringLiteral("Population"), QStringLiteral("0"),
                            VornLayout::Population, false);

    pauseIt_ = makeButton("PauseIt", "Pause", VornLayout::PauseIt);
    startOver_ = makeButton("StartOver", "Start Over From Scratch", VornLayout::StartOver);
    continueIt_ = makeButton("ContinueIt", "Continue", VornLayout::ContinueIt);
    displayMore_ = makeButton("DisplayMore", "Display More Information", VornLayout::DisplayMore);
    connect(pauseIt_, &QPushButton::clicked, this, &Vorn::Vorn_PauseIt_Click);
    connect(continueIt_, &QPushButton::clicked, this, &Vorn::Vorn_ContinueIt_Click);
    connect(startOver_, &QPushButton::clicked, this, &Vorn::Vorn_StartOver_Click);
    connect(displayMore_, &QPushButton::clicked, this, &Vorn::Vorn_DisplayMore_Click);

    pleaseWait_ = makeLabel(QStringLiteral("PleaseWait"), QString::fromLatin1(PleaseWaitText),
                            VornLayout::PleaseWait, Qt::AlignCenter);
    pleaseWait_->setWordWrap(true);
    pleaseWait_->setFrameStyle(QFrame::Box | QFrame::Plain);
    pleaseWait_->setLineWidth(1);
    pleaseWait_->setAutoFillBackground(true);
    pleaseWait_->raise();
    applyColours();

    // Tab goes through the buttons, the preferences and the map, and wraps around.
    QWidget *focusOrder[] = {pauseIt_, continueIt_, startOver_, displayMore_, pref_[1], pref_[2],
                             pref_[3], pref_[4], pref_[5], map_};
    for (size_t i = 0; i + 1 < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);
}

// Taken from the window's palette, and again whenever that changes, so that they stay
// legible in a dark theme too.
void Vorn::applyColours()
{
    const QPalette window = palette();
    QPalette notice;
    notice.setColor(QPalette::Window, window.color(QPalette::Base));
    notice.setColor(QPalette::WindowText, window.color(QPalette::Text));
    pleaseWait_->setPalette(notice);

    // The outputs are disabled, and a disabled field's text is drawn faint; but they hold
    // the results, so they take the labels' text colour. Their background stays the
    // disabled one, which sets them apart from the preference fields.
    QPalette output;
    output.setColor(QPalette::Disabled, QPalette::Text, window.color(QPalette::Active, QPalette::WindowText));
    for (QLineEdit *edit : {dayt_, population_})
        edit->setPalette(output);
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        kount_[g]->setPalette(output);
        prop_[g]->setPalette(output);
    }
}

void Vorn::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
}

QLineEdit *Vorn::field(Field which, int index) const
{
    const bool inTable = index >= 1 && index <= GroupCount;
    switch (which) {
    case Field::Dayt:
        return dayt_;
    case Field::Population:
        return population_;
    case Field::Kount:
        return inTable ? kount_[index] : nullptr;
    case Field::Prop:
        return inTable ? prop_[index] : nullptr;
    case Field::Pref:
        return inTable ? pref_[index] : nullptr;
    }
    return nullptr;
}

QWidget *Vorn::control(Control which) const
{
    switch (which) {
    case Control::PleaseWait:
        return pleaseWait_;
    case Control::DisplayMore:
        return displayMore_;
    case Control::PauseIt:
        return pauseIt_;
    case Control::ContinueIt:
        return continueIt_;
    case Control::StartOver:
        return startOver_;
    }
    return nullptr;
}

std::string Vorn::text(Field which, int index) const
{
    const QLineEdit *edit = field(which, index);
    return edit ? edit->text().toStdString() : std::string();
}

void Vorn::setText(Field which, int index, std::string_view text)
{
    if (QLineEdit *edit = field(which, index))
        edit->setText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void Vorn::setControlVisible(Control which, bool visible)
{
    QWidget *widget = control(which);
    if (!widget)
        return;
    widget->setVisible(visible);
    // Qt asks for the first paint of a widget it shows with a posted event, which waits
    // while a city is built; and a repaint of the window leaves out a child that fills
    // its own background, like the notice, unless that child is due for painting itself.
    if (visible)
        widget->update();
}

void Vorn::giveFocus(Control which)
{
    if (QWidget *widget = control(which))
        widget->setFocus(Qt::OtherFocusReason);
}

void Vorn::repaintWindow()
{
    repaint();
}

void Vorn::repaintMap()
{
    map_->repaint();
}

void Vorn::setTimerInterval(int milliseconds)
{
    timerInterval_ = milliseconds;
    // A running QTimer with interval 0 would fire on every pass of the event loop;
    // here 0 means no ticks at all.
    if (milliseconds > 0)
        nextGen_.start(milliseconds);
    else
        nextGen_.stop();
}

void Vorn::showWindow()
{
    show();
}

void Vorn::showOnScreen()
{
    show();
    // Without this the first city would be built before the window server has shown the
    // window, and the notice and the rows filling in would never be seen.
    const QSignalBlocker noTicks(nextGen_);   // no generation before the first city
    QElapsedTimer waited;
    waited.start();
    while (isVisible() && !windowHandle()->isExposed() && waited.elapsed() < MaxWaitForScreenMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, MaxWaitForScreenMs);
    repaint();
}

void Vorn::endAtOnce()
{
    qCritical("Velmora: the city map is damaged (an empty home between generations); ending.");
    std::exit(EXIT_FAILURE);
}

int Vorn::prefIndexOf(QObject *object) const
{
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        if (pref_[g] == object)
            return g;
    }
    return 0;
}

bool Vorn::eventFilter(QObject *watched, QEvent *event)
{
    if (const int index = prefIndexOf(watched)) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                Vorn_Pref_KeyPress(index, EnterKeyCode);
            else if (!key->text().isEmpty())
                Vorn_Pref_KeyPress(index, key->text().at(0).unicode());
        } else if (event->type() == QEvent::FocusOut) {
            // Switching to another program, or a popup, is not leaving the field.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Vorn_Pref_LostFocus(index);
        }
    }
    return QWidget::eventFilter(watched, event);   // the keystroke goes on unchanged
}

void Vorn::Vorn_Pref_KeyPress(int index, int keyCode)
{
    if (keyCode == EnterKeyCode)
        general_.ApplyPreference(index);
}

void Vorn::Vorn_Pref_LostFocus(int index)
{
    general_.ApplyPreference(index);
}

void Vorn::Vorn_StartOver_Click()
{
    beep_();
    QMessageBox question(QMessageBox::NoIcon, QString::fromLatin1(StartOverTitle),
                         QString::fromLatin1(StartOverQuestion),
                         QMessageBox::Ok | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("StartOverQuestion"));
    question.setDefaultButton(QMessageBox::Cancel);
    question.setEscapeButton(QMessageBox::Cancel);
    if (question.exec() == QMessageBox::Ok)
        general_.BuildCity();
}

void Vorn::Vorn_PauseIt_Click()
{
    setTimerInterval(PausedIntervalMs);
}

void Vorn::Vorn_ContinueIt_Click()
{
    setTimerInterval(RunningIntervalMs);
}

void Vorn::Vorn_NextGen_Timer()
{
    general_.NextGeneration();
    // The map's pixels changed behind the widget's back; show them at the next repaint.
    map_->update();
}

void Vorn::Vorn_DisplayMore_Click()
{
    if (!moreInfo_)
        moreInfo_ = new MoreInfo(this);
    moreInfo_->ShowModal();
}

void Vorn::Vorn_Form_Unload()
{
    if (moreInfo_) {
        moreInfo_->close();
        delete moreInfo_;
    }
}

void Vorn::closeEvent(QCloseEvent *event)
{
    Vorn_Form_Unload();
    event->accept();
}
