#include "startup.h"
#include "vorn.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    const auto vorn = Main();
    return app.exec();
}
