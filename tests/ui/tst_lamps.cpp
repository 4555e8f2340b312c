#include "ui/lamppictures.h"
#include "ui/lw_main.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

using namespace loomway;

namespace {
// Mean lightness and hue of the painted pixels of a picture.
std::pair<double, int> Tone(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    double r = 0, g = 0, b = 0, light = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            r += c.red() * c.alphaF(), g += c.green() * c.alphaF(), b += c.blue() * c.alphaF();
            light += c.lightness() * c.alphaF(), weight += c.alphaF();
        }
    }
    return {light / weight, QColor(int(r / weight), int(g / weight), int(b / weight)).hsvHue()};
}

// Counts the paint events of the widgets it watches.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

QString spoken(QWidget* widget, QAccessible::Text part) {
    return QAccessible::queryAccessibleInterface(widget)->text(part);
}
} // namespace

class TestLamps : public QObject {
    Q_OBJECT
private slots:
    // Lit pictures are clearly brighter than the dark ones of the same lamp,
    // in the lamp's colour, and no two pictures look the same.
    void pictures() {
        LampPictures pictures;
        for (auto [lit, dark, hueLow, hueHigh] :
             {std::tuple{LampPicture::IMG_ON, LampPicture::IMG_OFF, 30, 48}, // amber power
              {LampPicture::IMG_PON, LampPicture::IMG_POFF, 100, 140},       // green receive
              {LampPicture::IMG_MON, LampPicture::IMG_MOFF, 50, 65},         // yellow send
              {LampPicture::IMG_PRON, LampPicture::IMG_PROF, -1, 360},       // white printer
              {LampPicture::img_con, LampPicture::img_coff, 0, 360},         // clipboard
              {LampPicture::imgClpf, LampPicture::img_coff, 0, 360},
              {LampPicture::imgLG, LampPicture::imgDG, 100, 140},
              {LampPicture::imgLR, LampPicture::imgDR, 0, 10}}) {
            const auto [on, hue] = Tone(pictures.Picture(lit));
            QVERIFY2(on > Tone(pictures.Picture(dark)).first * 1.6, LampPictures::Name(lit));
            QVERIFY2(hue >= hueLow && hue <= hueHigh, LampPictures::Name(lit));
        }
        for (std::size_t i = 0; i < LampPictures::Count; ++i) {
            for (std::size_t j = i + 1; j < LampPictures::Count; ++j) {
                QVERIFY(pictures.Picture(LampPicture(i)).toImage() !=
                        pictures.Picture(LampPicture(j)).toImage());
            }
        }
    }

    // At start every lamp is dark and the switch on; each code shows the
    // picture it names on every lamp, and a screen reader hears the lamp's
    // name and state; anything else changes nothing. All but the two traffic
    // lamps are painted before SetLamp returns, so they show at once even
    // while a long handler keeps the event loop busy.
    void codesOnTheWindow() {
        LW_Main window;
        window.SetDisplay("ALL");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter;
        const std::pair<const char*, const char*> codes[] = {
            {"PON", "lit"},    {"PDOFF", "dark"}, {"MON", "lit"}, {"PRTON", "lit"},
            {"CLPFLY", "lit"}, {"OFF", "off"},    {"LR", "lit"}};
        for (auto [lamp, name, start, said] :
             {std::tuple{Lamp::imgPWR, "imgPWR", LampPicture::IMG_OFF, "PWR lamp"},
              {Lamp::imgRCV, "imgRCV", LampPicture::IMG_POFF, "RCV lamp"},
              {Lamp::imgSND, "imgSND", LampPicture::IMG_MOFF, "SER lamp"},
              {Lamp::IMGPRT, "IMGPRT", LampPicture::IMG_PROF, "PRT lamp"},
              {Lamp::imgCLP, "imgCLP", LampPicture::img_coff, "CLP lamp"},
              {Lamp::imgOnOff, "imgOnOff", LampPicture::imgON, "ON / OFF switch"}}) {
            auto* label = window.findChild<QLabel*>(name);
            label->installEventFilter(&counter);
            QCOMPARE(window.LampShows(lamp), start);
            QCOMPARE(spoken(label, QAccessible::Name), QString(said));
            QCOMPARE(spoken(label, QAccessible::Description),
                     QString(lamp == Lamp::imgOnOff ? "on" : "dark"));
            for (auto [code, state] : codes) {
                counter.paints = 0;
                window.SetLamp(lamp, code);
                QCOMPARE(counter.paints > 0, lamp != Lamp::imgSND && lamp != Lamp::imgRCV);
                window.FlushFrame();
                QCOMPARE(label->pixmap().toImage(),
                         window.Pictures().Picture(*PictureForCode(code)).toImage());
                QCOMPARE(spoken(label, QAccessible::Description), QString(state));
            }
            for (const std::string code : {"pon", "PON ", "", "MONN"}) {
                window.SetLamp(lamp, code);
                QCOMPARE(window.LampShows(lamp), LampPicture::imgLR);
            }
        }
    }
};

QTEST_MAIN(TestLamps)
#include "tst_lamps.moc"
