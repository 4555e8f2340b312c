// At a scale factor of 2 the lamp, switch and window pictures are drawn with
// twice the pixels, not enlarged from the normal ones.
#include "ui/lamppictures.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace loomway;

class TestHiDpi : public QObject {
    Q_OBJECT
private slots:
    void picturesAtTheScreensPixelRatio() {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        MainWindow window;
        for (auto [element, size] : {std::pair{"imgPWR", QSize(32, 32)},
                                     {"imgOnOff", QSize(35, 16)},
                                     {"imgLR", QSize(16, 16)},
                                     {"Picture2", QSize(124, 33)}}) {
            const QPixmap picture = window.findChild<QLabel*>(element)->pixmap();
            QCOMPARE(picture.devicePixelRatio(), 2.0);
            QCOMPARE(picture.size(), size * 2);
        }
        const QImage sharp = LampPictures(2.0).Picture(LampPicture::PowerOn).toImage();
        const QImage normal = LampPictures(1.0).Picture(LampPicture::PowerOn).toImage();
        QVERIFY(sharp != normal.scaled(sharp.size()).convertToFormat(sharp.format()));
    }
};

static const bool kScaled = qputenv("QT_SCALE_FACTOR", "2"); // before the application starts
QTEST_MAIN(TestHiDpi)

#include "tst_hidpi.moc"
