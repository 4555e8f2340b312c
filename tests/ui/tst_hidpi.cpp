// At a scale factor of 2 the lamp, switch and window pictures are drawn with
// twice the pixels, not enlarged from the normal ones.
#include "ui/lamppictures.h"
#include "ui/lw_main.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace loomway;

class TestHiDpi : public QObject {
    Q_OBJECT
private slots:
    void picturesAtTheScreensPixelRatio_data() {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QSize>("size");
        QTest::newRow("power lamp") << "imgPWR" << QSize(32, 32);
        QTest::newRow("clipboard lamp") << "imgCLP" << QSize(32, 32);
        QTest::newRow("switch") << "imgOnOff" << QSize(35, 16);
        QTest::newRow("spare dot") << "imgLR" << QSize(16, 16);
        QTest::newRow("pane heading") << "Picture2" << QSize(124, 33);
    }
    void picturesAtTheScreensPixelRatio() {
        QFETCH(QString, element);
        QFETCH(QSize, size);
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        LW_Main window;
        const QPixmap picture = window.findChild<QLabel*>(element)->pixmap();
        QCOMPARE(picture.devicePixelRatio(), 2.0);
        QCOMPARE(picture.size(), size * 2);
        QCOMPARE(picture.deviceIndependentSize().toSize(), size);
    }

    void drawnSharpNotEnlarged() {
        const QImage sharp = LampPictures(2.0).Picture(LampPicture::IMG_ON).toImage();
        const QImage enlarged =
            LampPictures(1.0)
                .Picture(LampPicture::IMG_ON)
                .toImage()
                .scaled(sharp.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(sharp.format());
        QCOMPARE(sharp.size(), QSize(64, 64));
        QVERIFY(sharp != enlarged);
    }
};

int main(int argc, char* argv[]) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidpi.moc"
