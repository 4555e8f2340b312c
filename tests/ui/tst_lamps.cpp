#include "ui/clicklabel.h"
#include "ui/lamppictures.h"
#include "ui/lw_main.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QTest>

#include <tuple>

using namespace loomway;

namespace {

// Counts the paint events an element receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

struct Tone {
    double lightness = 0; // mean over the painted pixels, 0..255
    int hue = -1;         // of the mean colour of the painted pixels
    int saturation = 0;
};

Tone toneOf(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    double r = 0, g = 0, b = 0, weight = 0, light = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double a = c.alphaF();
            r += c.red() * a;
            g += c.green() * a;
            b += c.blue() * a;
            light += c.lightness() * a;
            weight += a;
        }
    }
    Tone tone;
    if (weight > 0) {
        const QColor mean(int(r / weight), int(g / weight), int(b / weight));
        tone.lightness = light / weight;
        tone.hue = mean.hsvHue();
        tone.saturation = mean.hsvSaturation();
    }
    return tone;
}

const char* const kCodes[] = {"PON",   "POFF",   "PDON",  "PDOFF",  "MON",    "MOFF",
                              "PRTON", "PRTOFF", "CLPON", "CLPOFF", "CLPFLY", "ON",
                              "OFF",   "DG",     "LG",    "DR",     "LR"};

const Lamp kLamps[] = {Lamp::imgPWR, Lamp::imgRCV, Lamp::imgSND,
                       Lamp::IMGPRT, Lamp::imgCLP, Lamp::imgOnOff};
const char* const kLampNames[] = {"imgPWR", "imgRCV", "imgSND", "IMGPRT", "imgCLP", "imgOnOff"};

} // namespace

class TestLamps : public QObject {
    Q_OBJECT
private slots:
    void storesHaveTheirSizes() {
        LampPictures pictures;
        for (std::size_t i = 0; i < LampPictures::Count; ++i) {
            const auto store = static_cast<LampPicture>(i);
            QCOMPARE(pictures.Picture(store).size(), LampPictures::SizeOf(store));
            QVERIFY(!pictures.Picture(store).isNull());
        }
        QCOMPARE(LampPictures::SizeOf(LampPicture::IMG_ON), QSize(32, 32));
        QCOMPARE(LampPictures::SizeOf(LampPicture::imgClpf), QSize(32, 32));
        QCOMPARE(LampPictures::SizeOf(LampPicture::imgON), QSize(35, 16));
        QCOMPARE(LampPictures::SizeOf(LampPicture::imgOFF), QSize(35, 16));
        QCOMPARE(LampPictures::SizeOf(LampPicture::imgLR), QSize(16, 16));
    }

    // Every lit picture is clearly brighter than the dark one of the same lamp,
    // and no two stores look the same.
    void litAndDarkDiffer() {
        LampPictures pictures;
        const std::pair<LampPicture, LampPicture> pairs[] = {
            {LampPicture::IMG_ON, LampPicture::IMG_OFF},
            {LampPicture::IMG_PON, LampPicture::IMG_POFF},
            {LampPicture::IMG_MON, LampPicture::IMG_MOFF},
            {LampPicture::IMG_PRON, LampPicture::IMG_PROF},
            {LampPicture::img_con, LampPicture::img_coff},
            {LampPicture::imgClpf, LampPicture::img_coff},
            {LampPicture::imgLG, LampPicture::imgDG},
            {LampPicture::imgLR, LampPicture::imgDR},
        };
        for (const auto& [lit, dark] : pairs) {
            QVERIFY(LampPictures::IsLit(lit));
            QVERIFY(!LampPictures::IsLit(dark));
            const Tone on = toneOf(pictures.Picture(lit));
            const Tone off = toneOf(pictures.Picture(dark));
            QVERIFY2(on.lightness > off.lightness * 1.6, LampPictures::Name(lit));
        }
        for (std::size_t i = 0; i < LampPictures::Count; ++i) {
            for (std::size_t j = i + 1; j < LampPictures::Count; ++j) {
                QVERIFY(pictures.Picture(LampPicture(i)).toImage() !=
                        pictures.Picture(LampPicture(j)).toImage());
            }
        }
    }

    // The colours of the lamps: amber power, green receive, yellow modem-send,
    // grey and white printer, teal and olive clipboard, green and red dots.
    void lampColours() {
        LampPictures pictures;
        const auto hueOf = [&](LampPicture store) { return toneOf(pictures.Picture(store)).hue; };
        QVERIFY(hueOf(LampPicture::IMG_ON) >= 30 && hueOf(LampPicture::IMG_ON) <= 48);
        QVERIFY(hueOf(LampPicture::IMG_PON) >= 100 && hueOf(LampPicture::IMG_PON) <= 140);
        QVERIFY(hueOf(LampPicture::IMG_POFF) >= 100 && hueOf(LampPicture::IMG_POFF) <= 140);
        QVERIFY(hueOf(LampPicture::IMG_MON) >= 50 && hueOf(LampPicture::IMG_MON) <= 65);
        QVERIFY(hueOf(LampPicture::imgLG) >= 100 && hueOf(LampPicture::imgLG) <= 140);
        QVERIFY(hueOf(LampPicture::imgDG) >= 100 && hueOf(LampPicture::imgDG) <= 140);
        const int red = hueOf(LampPicture::imgLR);
        QVERIFY(red <= 10 || red >= 350);
        const Tone printer = toneOf(pictures.Picture(LampPicture::IMG_PRON));
        QVERIFY(printer.saturation < 40);
        QVERIFY(printer.lightness > 170);
        const Tone printerOff = toneOf(pictures.Picture(LampPicture::IMG_PROF));
        QVERIFY(printerOff.lightness < 100);
        // The clipboard pictures hold white, teal and olive pixels.
        for (LampPicture store : {LampPicture::img_con, LampPicture::imgClpf}) {
            const QImage image = pictures.Picture(store).toImage();
            bool white = false, teal = false, olive = false;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.alpha() < 250) {
                        continue;
                    }
                    white |= c.red() > 240 && c.green() > 240 && c.blue() > 240;
                    teal |= c.red() < 40 && c.green() > 120 && c.blue() > 120;
                    olive |= c.red() > 100 && c.green() > 100 && c.blue() < 40;
                }
            }
            QVERIFY2(white && teal && olive, LampPictures::Name(store));
        }
    }

    // The window at start: every lamp dark, the switch in its on position.
    void designTimePictures() {
        LW_Main window;
        QCOMPARE(window.LampShows(Lamp::imgPWR), LampPicture::IMG_OFF);
        QCOMPARE(window.LampShows(Lamp::imgRCV), LampPicture::IMG_POFF);
        QCOMPARE(window.LampShows(Lamp::imgSND), LampPicture::IMG_MOFF);
        QCOMPARE(window.LampShows(Lamp::IMGPRT), LampPicture::IMG_PROF);
        QCOMPARE(window.LampShows(Lamp::imgCLP), LampPicture::img_coff);
        QCOMPARE(window.LampShows(Lamp::imgOnOff), LampPicture::imgON);
    }

    // Every code on every lamp shows the store the code names, on screen.
    void everyCodeOnEveryLamp() {
        LW_Main window;
        for (std::size_t l = 0; l < std::size(kLamps); ++l) {
            auto* image = window.findChild<QLabel*>(kLampNames[l]);
            QVERIFY(image);
            for (const char* code : kCodes) {
                window.SetLamp(kLamps[l], code);
                const LampPicture expected = *PictureForCode(code);
                QCOMPARE(window.LampShows(kLamps[l]), expected);
                window.FlushFrame();
                QCOMPARE(image->pixmap().toImage(), window.Pictures().Picture(expected).toImage());
            }
        }
        // "PON" is the IMG_ON store, not IMG_PON.
        window.SetLamp(Lamp::imgPWR, "PON");
        QCOMPARE(window.LampShows(Lamp::imgPWR), LampPicture::IMG_ON);
        window.FlushFrame();
        auto* power = window.findChild<QLabel*>("imgPWR");
        QCOMPARE(power->pixmap().toImage(),
                 window.findChild<QLabel*>("IMG_ON")->pixmap().toImage());
    }

    // A code that is not exactly one of the seventeen changes no picture.
    void nearMissesChangeNothing() {
        LW_Main window;
        window.SetLamp(Lamp::imgPWR, "PON");
        for (std::size_t l = 0; l < std::size(kLamps); ++l) {
            const LampPicture before = window.LampShows(kLamps[l]);
            const QImage shown = window.findChild<QLabel*>(kLampNames[l])->pixmap().toImage();
            const std::string nearMisses[] = {"pon",      "PON ", " PON",
                                              "Pon",      "PO",   "off",
                                              "CLPFLY\n", "",     std::string("PDON\0", 5),
                                              "MONN",     "LR ",  "prtoff"};
            for (const std::string& code : nearMisses) {
                window.SetLamp(kLamps[l], code);
                QCOMPARE(window.LampShows(kLamps[l]), before);
                QCOMPARE(window.findChild<QLabel*>(kLampNames[l])->pixmap().toImage(), shown);
            }
        }
    }

    // The traffic lamps' changes are drawn with the next frame, without anyone
    // asking; the same picture again needs no painting.
    void changedPictureRepaintsAtOnce() {
        LW_Main window;
        window.SetDisplay("ALL");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* lamp = window.findChild<QLabel*>("imgSND");
        PaintCounter counter;
        lamp->installEventFilter(&counter);
        QTest::qWait(2 * LW_Main::kFrameMs);
        counter.paints = 0;
        window.SetLamp(Lamp::imgSND, "MON");
        QCOMPARE(window.LampShows(Lamp::imgSND), LampPicture::IMG_MON);
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints >= 1, 1000);
        QCOMPARE(lamp->pixmap().toImage(),
                 window.Pictures().Picture(LampPicture::IMG_MON).toImage());
        QTest::qWait(2 * LW_Main::kFrameMs);
        counter.paints = 0;
        window.SetLamp(Lamp::imgSND, "MON");
        QTest::qWait(2 * LW_Main::kFrameMs);
        QCOMPARE(counter.paints, 0);
        lamp->removeEventFilter(&counter);

        // The printer, clipboard and power lamps and the switch are painted at
        // once also right after another lamp.
        for (const auto& [name, which, code] : {std::tuple{"IMGPRT", Lamp::IMGPRT, "PRTON"},
                                                std::tuple{"imgCLP", Lamp::imgCLP, "CLPON"},
                                                std::tuple{"imgPWR", Lamp::imgPWR, "PON"},
                                                std::tuple{"imgOnOff", Lamp::imgOnOff, "OFF"}}) {
            auto* other = window.findChild<QLabel*>(name);
            PaintCounter paints;
            other->installEventFilter(&paints);
            window.SetLamp(Lamp::imgSND, "MON");
            window.SetLamp(Lamp::imgSND, "MOFF");
            window.SetLamp(which, code);
            QVERIFY2(paints.paints >= 1, name);
            QCOMPARE(other->pixmap().toImage(),
                     window.Pictures().Picture(*PictureForCode(code)).toImage());
            other->removeEventFilter(&paints);
        }
    }

    // While a settings dialog disables the window, the lamps look the same.
    void lampsKeepTheirLookWhileDisabled() {
        LW_Main window;
        window.SetLamp(Lamp::imgRCV, "PDON");
        window.SetDisplay("ALL");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* name : {"imgRCV", "imgOnOff", "imgCLP"}) {
            auto* lamp = window.findChild<QWidget*>(name);
            const QImage enabled = lamp->grab().toImage();
            window.setEnabled(false);
            const QImage disabled = lamp->grab().toImage();
            window.setEnabled(true);
            QCOMPARE(disabled, enabled);
        }
    }

    // The picture stores lie outside the widest area any mode shows; five of
    // them are visible in the creation size, the rest are hidden.
    void storesOutOfView() {
        LW_Main window;
        QWidget* client = window.centralWidget();
        for (std::size_t i = 0; i < LampPictures::Count; ++i) {
            const auto store = static_cast<LampPicture>(i);
            auto* image = client->findChild<QLabel*>(LampPictures::Name(store));
            QVERIFY2(image, LampPictures::Name(store));
            QVERIFY(image->geometry().left() >= 6090 / 15);
            const bool visible = store == LampPicture::imgClpf || store == LampPicture::IMG_PRON ||
                                 store == LampPicture::IMG_PROF || store == LampPicture::img_con ||
                                 store == LampPicture::img_coff;
            QCOMPARE(image->isVisibleTo(&window), visible);
            QCOMPARE(image->pixmap().toImage(), window.Pictures().Picture(store).toImage());
        }
    }
};

QTEST_MAIN(TestLamps)
#include "tst_lamps.moc"
