// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"
#include "vorn.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // Lets the desktop match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Velmora"));
    const auto vorn = Main();
    if (!vorn->isVisible())
        return 0;   // the window was closed before the event loop began
    return app.exec();
}
