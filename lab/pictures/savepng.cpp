// SPDX-License-Identifier: GPL-3.0-or-later
#include "savepng.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

WriteError SavePng(const QImage &image, const QString &fileName)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return CannotWrite(fileName, writer.errorString());
    return SaveWhole(fileName, png);
}
