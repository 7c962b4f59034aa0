// SPDX-License-Identifier: GPL-3.0-or-later
#include "moreinfo.h"

#include "appearance.h"
#include "layout.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

namespace MoreInfoLayout {
inline constexpr TwipSize Client{9060, 5340};
inline constexpr TwipRect CloseIt{7680, 4680, 1215, 495};
inline constexpr int TitleSpaces = 69;   // push the credit towards the right of the title bar
} // namespace MoreInfoLayout

const char *const Caption = "City Simulator";
const char *const Credit = "(c) The Velmora Authors";
const QRgb Navy = qRgb(0, 0, 128);

struct Text
{
    const char *name;
    TwipRect geometry;
    const char *text;
};

const Text Heading = {"Label5", {0, 120, 9015, 375},
                      "Simulation Of Ethnic Group Residential Patterns in Velmora"};

const Text Paragraphs[] = {
    {"Label1", {240, 600, 8535, 975},
     "Velmora is a medium-sized simulated city (population just over 70,000), and has five "
     "distinct ethnic groups: Blues, Reds, Greens, Grays, and Yellows. We make the reasonable "
     "assumption that people in each ethnic group, when choosing their residence, have a modest "
     "preference for their own group: they would prefer that at least 50% of their immediate "
     "neighbors be of the same ethnic group."},
    {"Label2", {240, 1440, 8535, 735},
     "The purpose of the model is to see how quickly these preferences produce residential "
     "segregation. Additional assumptions are that each person moves on the average of once "
     "every eight years, and that each may choose to live within any currently available "
     "housing unit in the city."},
    {"Label3", {240, 2160, 8535, 735},
     "You will find that the different groups relatively quickly congregate in their separate "
     "enclaves -- within about ten years. It is important to note that THIS OCCURS WITHOUT ANY "
     "ASSUMPTION OF DISCRIMINATION BY ONE GROUP AGAINST ANOTHER! All that is required is that "
     "each group have a modest preference for its own kind."},
    {"Label4", {240, 2880, 8655, 735},
     "You may change the pattern of residence by changing the preference of one or more groups. "
     "If you make a group less inclined to choose its own for neighbors, you will still find the "
     "enclaves forming, but at a slower rate. We suggest that you try removing preferences "
     "(making them zero) for all groups but one -- and that one group will still have its "
     "\"ghetto\"!"},
    {"Label7", {240, 3600, 8655, 495},
     "Since each resident of Velmora can have eight neighbors, the \"Preference \" column will "
     "limit its values to eighths, displayed as percentages: 12.5%, 25%, etc."},
    // The contact block: a heading, then one line every 240 twips in a column to its right.
    // Each line must fit its 169-pixel label, or its end wraps below the label, out of sight.
    {"Label6(0)", {240, 4200, 2535, 255}, "For more information contact:"},
    {"Label6(1)", {2760, 4200, 2535, 255}, "Velmora Contact (placeholder)"},
    {"Label6(2)", {2760, 4440, 2535, 255}, "1 Example Street"},
    {"Label6(3)", {2760, 4680, 2535, 255}, "Exampletown EX1 2AB"},
    {"Label6(4)", {2760, 4920, 2535, 255}, "e-mail    info@velmora.example"},
};

QLabel *MakeLabel(QWidget *parent, const Text &entry, const QFont &font, Qt::Alignment alignment)
{
    auto *label = new QLabel(QString::fromLatin1(entry.text), parent);
    label->setObjectName(QLatin1String(entry.name));
    label->setGeometry(entry.geometry.pixels());
    label->setFont(font);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

// A dialog of its parent's window: the window system keeps it with that window and above it.
MoreInfo::MoreInfo(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("MoreInfo"));
    setAttribute(Qt::WA_DeleteOnClose);   // its own close command destroys it; Close only hides
    setWindowTitle(QLatin1String(Caption) + QString(MoreInfoLayout::TitleSpaces, QLatin1Char(' '))
                   + QLatin1String(Credit));
    setWindowIcon(VelmoraIcon());
    setFixedSize(MoreInfoLayout::Client.pixels());
    setFont(VelmoraFont(false));

    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, QColor(Navy));
    setPalette(colours);
    setAutoFillBackground(true);

    MakeLabel(this, Heading, VelmoraFont(true, HeadingFontPixels), Qt::AlignHCenter | Qt::AlignTop);
    for (const Text &paragraph : Paragraphs)
        MakeLabel(this, paragraph, VelmoraFont(false), Qt::AlignLeft | Qt::AlignTop);

    closeIt_ = new QPushButton(QStringLiteral("Close"), this);
    closeIt_->setObjectName(QStringLiteral("CloseIt"));
    closeIt_->setGeometry(MoreInfoLayout::CloseIt.pixels());
    closeIt_->setFont(VelmoraFont(true));
    closeIt_->setPalette(QPalette());   // a standard button, not a white one
    // Enter presses Close only because it has the focus; there is no default button.
    closeIt_->setAutoDefault(true);
    closeIt_->setFocusPolicy(Qt::StrongFocus);
    connect(closeIt_, &QPushButton::clicked, this, &MoreInfo::MoreInfo_CloseIt_Click);
    setFocusProxy(closeIt_);
}

void MoreInfo::ShowModal()
{
    setWindowModality(Qt::ApplicationModal);
    centreOverMainWindow();
    show();
    raise();
    activateWindow();
    closeIt_->setFocus(Qt::OtherFocusReason);

    // The window may be destroyed while this loop runs; nothing here touches it afterwards.
    QEventLoop loop;
    connect(this, &MoreInfo::dismissed, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
}

// Centred over the main window where it is now, but kept whole on its screen, title bar
// included; the main window's frame stands in for this one's, which does not exist yet.
void MoreInfo::centreOverMainWindow()
{
    const QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    const QRect client = main->geometry();
    const QRect outer = main->frameGeometry();
    const QMargins frame(client.left() - outer.left(), client.top() - outer.top(),
                         outer.right() - client.right(), outer.bottom() - client.bottom());
    QRect mine(QPoint(), size());
    mine.moveCenter(client.center());
    QRect mineOuter = mine.marginsAdded(frame);
    const QRect screen = main->screen()->availableGeometry();
    const QPoint last(screen.right() + 1 - mineOuter.width(), screen.bottom() + 1 - mineOuter.height());
    mineOuter.moveLeft(std::max(screen.left(), std::min(mineOuter.left(), last.x())));
    mineOuter.moveTop(std::max(screen.top(), std::min(mineOuter.top(), last.y())));
    setGeometry(mineOuter.marginsRemoved(frame));
}

void MoreInfo::MoreInfo_CloseIt_Click()
{
    hide();
}

void MoreInfo::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit dismissed();
}
