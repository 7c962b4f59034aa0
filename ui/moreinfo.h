// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPushButton;

// The information window: explains the model in five fixed paragraphs, with a contact
// block and a Close button. A modal dialog of the main window, opened centred over it;
// Close hides it, its own close command destroys it.
class MoreInfo : public QWidget
{
    Q_OBJECT

public:
    explicit MoreInfo(QWidget *parent = nullptr);

    // Shows the window modally and returns once it has been hidden or closed.
    void ShowModal();

    void MoreInfo_CloseIt_Click();

signals:
    void dismissed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void centreOverMainWindow();

    QPushButton *closeIt_ = nullptr;
};
