// The Qt view of a screen buffer: no copy, and drawn the right way up.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "platform/qt/TtcImage.h"
#include "storage/TMTC.h"

class TtcImageTest : public QObject {
    Q_OBJECT
private slots:
    void wrapsWithoutCopy()
    {
        morvane::TTC t(4, 3);
        t.FillAll(0xFF102030);
        QImage image = morvane::WrapTtc(t);
        QCOMPARE(image.constBits(), static_cast<const uchar*>(t.Bits));
        QCOMPARE(image.pixel(0, 0), QRgb(0xFF102030));
    }

    void drawsUprightAtThePoint()
    {
        morvane::TTC t(4, 3);
        t.FillAll(0xFF0000FF);                    // blue
        t.FillRect({0, 0, 4, 1}, 0xFFFF0000);     // top row red
        QImage canvas(6, 5, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        morvane::DrawTtc(painter, QPoint(1, 1), t);
        painter.end();
        QCOMPARE(canvas.pixel(1, 1), QRgb(0xFFFF0000));
        QCOMPARE(canvas.pixel(4, 3), QRgb(0xFF0000FF));
        QCOMPARE(canvas.pixel(0, 0), QRgb(0xFFFFFFFF));
        QCOMPARE(canvas.pixel(1, 4), QRgb(0xFFFFFFFF));
    }
};

QTEST_MAIN(TtcImageTest)
#include "TtcImageTest.moc"
