// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"
#include "moreinfo.h"
#include "vorn.h"

#include <QImage>
#include <QTest>

// One icon for both windows: the 32 x 32, 16-colour picture, and the same picture enlarged
// for docks and task switchers (the installed menu icons are these two files).
class TestIcon : public QObject
{
    Q_OBJECT

private slots:
    void hasTheSmallAndTheLargeSize();
    void smallSizeIsTheSixteenColourPicture();
    void largeSizeIsTheSmallPictureEnlarged();
    void bothWindowsCarryIt();
};

namespace {

QImage AsRgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage Rendered(const QIcon &icon, int size)
{
    return AsRgb(icon.pixmap(QSize(size, size)).toImage());
}

} // namespace

void TestIcon::hasTheSmallAndTheLargeSize()
{
    const QList<QSize> sizes = VelmoraIcon().availableSizes();
    QCOMPARE(sizes.size(), 2);
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(256, 256)));
}

void TestIcon::smallSizeIsTheSixteenColourPicture()
{
    const QImage file(QStringLiteral(":/velmora/velmora.png"));
    QCOMPARE(file.size(), QSize(32, 32));
    QCOMPARE(file.format(), QImage::Format_Indexed8);
    QVERIFY(file.colorCount() <= 16);
    QCOMPARE(Rendered(VelmoraIcon(), 32), AsRgb(file));
}

void TestIcon::largeSizeIsTheSmallPictureEnlarged()
{
    const QImage small = AsRgb(QImage(QStringLiteral(":/velmora/velmora.png")));
    const QImage large = Rendered(VelmoraIcon(), 256);
    QCOMPARE(large.size(), QSize(256, 256));
    int differing = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x)
            differing += large.pixel(x, y) != small.pixel(x / 8, y / 8);
    }
    QCOMPARE(differing, 0);
}

void TestIcon::bothWindowsCarryIt()
{
    const QIcon expected = VelmoraIcon();
    Vorn vorn;
    MoreInfo moreInfo;
    for (const QWidget *window : {static_cast<QWidget *>(&vorn), static_cast<QWidget *>(&moreInfo)}) {
        const QIcon icon = window->windowIcon();
        QCOMPARE(icon.availableSizes(), expected.availableSizes());
        QCOMPARE(Rendered(icon, 32), Rendered(expected, 32));
        QCOMPARE(Rendered(icon, 256), Rendered(expected, 256));
    }
}

QTEST_MAIN(TestIcon)
#include "tst_icon.moc"
