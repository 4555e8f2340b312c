// The main window: menus, captions, views and sizes, lamps, clicks and keys,
// the traffic shown, what a screen reader hears; its icon and message boxes.
// The traffic monitor: its cells, rows, search, dump and window.
#include "capture/chunkstore.h"
#include "core/traffic.h"
#include "tests/support/fakeclock.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindow.h"
#include "ui/chunkmodel.h"
#include "ui/chunktext.h"
#include "ui/datapane.h"
#include "ui/displaymode.h"
#include "ui/lamppictures.h"
#include "ui/lw_main.h"
#include "ui/monitorwindow.h"
#include "ui/qtmessagebox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace loomway;
using namespace loomway::test;

namespace {
// "caption|shortcut" per item, "-" for a separator, "caption>" for a submenu.
QString describe(const QWidget* menu) {
    QStringList items;
    for (const QAction* a : menu->actions()) {
        items << (a->isSeparator() ? "-"
                  : a->menu()      ? a->text() + ">"
                                   : a->text() + "|" + a->shortcut().toString());
    }
    return items.join(", ");
}

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

bool carriesIcon(QWidget* window) {
    return window->windowHandle() != nullptr && !window->windowHandle()->icon().isNull() &&
           window->windowHandle()->icon().availableSizes().contains(QSize(256, 256));
}

template <typename Show> QString answered(Show show, QMessageBox::StandardButton press) {
    QString shown;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        shown = box->windowTitle() + "|" + box->text() + "|" +
                (box->textFormat() == Qt::PlainText ? "plain" : "rich") + "|" +
                (box->icon() == QMessageBox::Warning    ? "warning"
                 : box->icon() == QMessageBox::Critical ? "critical"
                                                        : "?");
        for (QAbstractButton* b : box->buttons()) {
            shown += " " + b->text().remove('&');
        }
        shown += " default " + box->defaultButton()->text().remove('&') + "|over " +
                 box->parentWidget()->objectName() + (carriesIcon(box) ? " with icon" : "");
        press ? box->button(press)->click() : QTest::keyClick(box, Qt::Key_Escape);
    });
    show();
    return shown;
}
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QStringList files;
public slots:
    void open(const QUrl& url) { files << url.toLocalFile(); }
};

// One click and one double-click as the platform delivers them.
void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = {}) {
    QTest::mousePress(w, button, {}, at);
    QTest::mouseRelease(w, button, {}, at);
}
void doubleClick(QWidget* w) {
    click(w);
    QTest::mousePress(w, Qt::LeftButton);
    QTest::mouseDClick(w, Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton);
}

struct Window : LW_Main {
    Window() {
        Hooks hooks;
        for (auto [hook, name] : {std::pair{&hooks.clearPanes, "ClearPanes"},
                                  {&hooks.resetCounters, "ResetCounters"},
                                  {&hooks.resetBoth, "ResetBoth"},
                                  {&hooks.quit, "quit"},
                                  {&hooks.methodsDialog, "LW_Met"},
                                  {&hooks.preferencesDialog, "LW_PREFS"},
                                  {&hooks.commDialog, "LW_CONF"},
                                  {&hooks.toggleRedirection, "toggle"},
                                  {&hooks.sendToClip, "send"}}) {
            *hook = [this, name = QString(name)] { calls << name; };
        }
        SetHooks(hooks);
    }
    QWidget* element(const char* name) {
        QWidget* w = findChild<QWidget*>(name);
        auto* pane = qobject_cast<DataPane*>(w);
        return pane ? pane->viewport() : w;
    }
    QString view() {
        const MainMenus& m = Menus();
        return QString(m.m_led->isChecked()        ? "led"
                       : m.m_rate->isChecked()     ? "rate"
                       : m.m_datsniff->isChecked() ? "full"
                                                   : "-") +
               (menuBar()->isVisibleTo(this) ? " bars" : "");
    }
    QStringList calls;
};

constexpr auto H2M = ChunkDirection::HandheldToModem;
constexpr auto M2H = ChunkDirection::ModemToHandheld;
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    // Each caption as made, "text {tip}" ({=}: the same tip as the one before).
    // The captions follow the user's font; the switch's is the smaller.
    void menusAndCaptions() {
        Window w;
        QCOMPARE(w.windowTitle(), QString("Palm Loomway by QUILLON"));
        const MainMenus& m = w.Menus();
        QCOMPARE(describe(m.m_file), QString("&Reset>, Start &Capture...|, &Exit|Ctrl+E"));
        QCOMPARE(describe(m.m_reset), QString("S&niffer|Ctrl+N, B&ytes|Ctrl+Y, &Both|Ctrl+B"));
        QCOMPARE(
            describe(m.m_view),
            QString(
                "LE&Ds |Ctrl+D, &SND/RCV Rate|Ctrl+S, Data Sni&ffer|Ctrl+F, -, H&ide Menu|Ctrl+H, "
                "-, Traffic &Monitor|Ctrl+T"));
        QCOMPARE(describe(m.m_config),
                 QString("&ReDirection Methods|Ctrl+M, Startup &Preferences|Ctrl+P, "
                         "&Serial Communications|Ctrl+C"));
        QCOMPARE(describe(m.m_help),
                 QString("QUILLON &Home Page|, &Palm Loomway Hot News!|, -, &About|Ctrl+A"));
        QCOMPARE(describe(w.menuBar()), QString("&File>, &View>, Co&nfigure>, &Help>"));
        for (QAction* item : {m.m_clrSniff, m.m_resetbytes, m.m_resetboth, m.m_exit, m.m_method,
                              m.m_Prefs, m.m_options}) {
            item->trigger();
        }
        w.close(); // the close box runs the exit command too
        QCOMPARE(w.calls.join(" "),
                 QString("ClearPanes ResetCounters ResetBoth quit LW_Met LW_PREFS LW_CONF quit"));
        LW_Main bare; // an item without its command is disabled
        const MainMenus& b = bare.Menus();
        QVERIFY(!b.m_clrSniff->isEnabled() && !b.m_options->isEnabled() &&
                !b.m_capture->isEnabled());
        QStringList shown;
        QString tip;
        for (const QLabel* label : w.findChildren<QLabel*>()) {
            if (!label->text().isEmpty() || !label->toolTip().isEmpty()) {
                const QString said = label->toolTip().isEmpty() ? ""
                                     : label->toolTip() == tip  ? "{=}"
                                                                : "{" + label->toolTip() + "}";
                shown << QStringList{label->text(), said}.join(' ').trimmed();
                tip = label->toolTip();
            }
        }
        QCOMPARE(shown.join("; "),
                 "{ReDirection ON/OFF}; ON / OFF {=}; {ReDirection Status}; PWR; {Data Receive "
                 "LED}; RCV; {Serial (Modem) Send}; SER {=}; {Printer Send}; PRT {=}; {Clipboard "
                 "Send - Click Here to Send Clipboard Data to Palm Device}; CLP {Clipboard Send}; "
                 "S; R; 0 {Bytes Sent}; 0 {Bytes Received}; {Data Stream Sent from Palm Device to "
                 "ReDirected Location}; {Data Stream Received by Palm Device from Remote "
                 "ReDirected Location}");
        const auto size = [&w](const char* name) {
            return w.findChild<QLabel*>(name)->font().pointSizeF();
        };
        const qreal power = size("lblPWR"), onOff = size("lblonoff"), count = size("lblSNDbyt");
        QVERIFY(onOff > 0 && onOff < power);
        const QFont original = QApplication::font();
        QFont larger = original;
        larger.setPointSizeF(original.pointSizeF() * 1.5);
        QApplication::setFont(larger);
        QCoreApplication::processEvents();
        QCOMPARE(size("lblPWR"), power * 1.5);
        QCOMPARE(size("lblonoff"), onOff * 1.5);
        QCOMPARE(size("lblSNDbyt"), count * 1.5);
        QApplication::setFont(original);
    }

    // All but the two traffic lamps are painted before SetLamp returns, so
    // they show at once even while a long handler keeps the event loop busy.
    void lampsAndTraffic() {
        LW_Main window;
        const LampPictures& pictures = window.Pictures();
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
            window.SetLamp(lamp, "pon"); // which codes are known: tst_datapump
            QCOMPARE(window.LampShows(lamp), LampPicture::imgLR);
        }
        Traffic traffic(window);
        traffic.CountBytes(Counter::BytesSent, 1048576);
        traffic.CountBytes(Counter::BytesReceived, 105);
        std::string every;
        QString symbols; // control bytes as their pictures, new lines kept
        for (int b = 0; b < 256; ++b) {
            every += char(b);
            symbols += b == '\n'  ? QChar(b)
                       : b < 32   ? QChar(0x2400 + b)
                       : b == 127 ? QChar(0x2421)
                                  : QChar(b);
        }
        traffic.AppendToPane(Pane::txtReceive, every);
        window.ShowStatus("STATUS:  ON");
        window.FlushFrame();
        auto* pane = window.findChild<DataPane*>("txtReceive");
        pane->Flush();
        QCOMPARE(window.findChild<QLabel*>("lblSNDbyt")->text(), QString("1048576"));
        QVERIFY(window.findChild<QLabel*>("lblSNDbyt")->alignment().testFlag(Qt::AlignRight));
        QString shown = pane->document()->toRawText();
        shown.replace(QChar::ParagraphSeparator, '\n');
        QCOMPARE(shown, symbols);
        QVERIFY(pane->isReadOnly());
        QCOMPARE(pane->palette().color(QPalette::Base), QColor(Qt::black)); // white on black
        QCOMPARE(window.findChild<QLabel*>("StatusBar1_Panel1")->text(), QString("STATUS:  ON"));
        for (auto [element, name, value] : {std::tuple{"lblSNDbyt", "Bytes sent", "1048576"},
                                            {"lblRCVByt", "Bytes received", "105"},
                                            {"txtSend", "Sent from Palm", ""},
                                            {"txtReceive", "Received by Palm", ""}}) {
            QCOMPARE(spoken(window.findChild<QWidget*>(element), QAccessible::Name), QString(name));
            if (*value) {
                QCOMPARE(spoken(window.findChild<QWidget*>(element), QAccessible::Description),
                         QString(value));
            }
        }
    }
    // The worked sizes in twips with a 255- and a 355-twip status bar, both
    // states of "H&ide Menu", and the bars each shows.
    void computedViews_data() {
        addRows({"mode", "hide", "layout"},
                {{"LED_ONLY", "LED_ONLY", "", "4425x1782/2022 bars"},
                 {"LED_ONLY hidden", "LED_ONLY", "1", "4425x1170/1170"},
                 {"SENDREC", "SENDREC", "", "6090x1769.25/2004.25 bars"},
                 {"SENDREC hidden", "SENDREC", "1", "6090x1170/1170"},
                 {"FULL", "FULL", "", "6090x4212/4532 bars"},
                 {"FULL hidden", "FULL", "1", "6090x3957/4177"},
                 {"ALL hidden", "ALL", "1", "6090x4212/4532 bars"},
                 {"unknown", "full", "", "unknown bars"}});
    }
    void computedViews() {
        const auto mode = cell("mode").toStdString();
        const DisplayLayout d = ComputeDisplay(mode, !cell("hide").isEmpty(), 255.0);
        const DisplayLayout taller = ComputeDisplay(mode, !cell("hide").isEmpty(), 355.0);
        QCOMPARE((d.known ? QString("%1x%2/%3").arg(d.width).arg(d.height).arg(taller.height)
                          : QString("unknown")) +
                     (d.menusVisible && d.statusBarVisible ? " bars" : ""),
                 cell("layout"));
    }

    // Each view sizes the window from its own status bar; "H&ide Menu" waits
    // for the next view; a double-click shows everything again.
    void views() {
        Window w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const auto expected = [&w](const char* mode, bool hide) {
            const DisplayLayout d = ComputeDisplay(mode, hide, w.StatusBarTwips());
            const QSize frame = w.frameGeometry().size() - w.size();
            const PixelSize px =
                ClientSizeForOuter(d.width, d.height, frame.width(), frame.height());
            return QSize(px.width, px.height);
        };
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        for (auto [key, mode, view] : {std::tuple{Qt::Key_D, "LED_ONLY", "led bars"},
                                       {Qt::Key_S, "SENDREC", "rate bars"},
                                       {Qt::Key_H, "SENDREC", "rate bars"},
                                       {Qt::Key_F, "FULL", "full"}}) {
            QTest::keyClick(&w, key, Qt::ControlModifier);
            QCOMPARE(w.view(), QString(view));
            QCOMPARE(w.size(), expected(mode, !QString(view).endsWith("bars")));
        }
        w.setWindowState(Qt::WindowMinimized);
        doubleClick(w.element("imgRCV"));
        QCOMPARE(w.view(), QString("full bars"));
        QVERIFY(w.IsNormalState() && w.statusBar()->isVisible() && w.Menus().m_hide->isChecked());
        QCOMPARE(w.size(), expected("ALL", true));
        w.SetDisplay("full"); // an unknown mode only shows or hides the bars
        QCOMPARE(w.view(), QString("full"));
        // A frame comes off the client area, never below a pixel.
        for (auto [tw, th, fw, fh, size] : {std::tuple{6090.0, 4212.0, 4, 27, QSize(402, 254)},
                                            {300.0, 300.0, 100, 100, QSize(1, 1)}}) {
            const PixelSize px = ClientSizeForOuter(tw, th, fw, fh);
            QCOMPARE(QSize(px.width, px.height), size);
        }
    }

    // A double-click on most elements shows everything; the headings take
    // a single click; the switch toggles on a click; the clipboard lamp
    // sends once a click, its caption once a click and twice a double-click.
    void clicks() {
        for (const char* name :
             {"picOnOff", "lblPWR", "IMGPRT", "lblSNDbyt", "txtSend", "StatusBar1_Panel2"}) {
            Window w;
            w.SetDisplay("LED_ONLY");
            click(w.element(name));
            QCOMPARE(w.view(), QString("led bars"));
            doubleClick(w.element(name));
            QVERIFY2(w.view() == "full bars" && w.calls.isEmpty(), name);
        }
        Window w;
        w.SetDisplay("SENDREC");
        click(w.element("lblS"));
        doubleClick(w.element("lblR"));
        click(w.element("Picture1"), Qt::RightButton);
        QCOMPARE(w.view(), QString("rate bars"));
        click(w.element("Picture1"));
        QCOMPARE(w.view(), QString("full bars"));
        w.SetDisplay("SENDREC");
        doubleClick(w.element("imgOnOff"));
        click(w.element("imgOnOff"), Qt::RightButton);
        QTest::mousePress(w.element("imgOnOff"), Qt::LeftButton);
        QTest::mouseRelease(w.element("imgOnOff"), Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(w.calls.join(" "), QString("toggle"));
        doubleClick(w.element("imgCLP"));
        QCOMPARE(w.LampShows(Lamp::imgCLP), LampPicture::imgClpf);
        w.SetLamp(Lamp::imgCLP, "CLPOFF");
        click(w.element("imgCLP"), Qt::RightButton); // lights, does not send
        QCOMPARE(w.LampShows(Lamp::imgCLP), LampPicture::imgClpf);
        doubleClick(w.element("lblClP"));
        QCOMPARE(w.calls.join(" "), QString("toggle send send send"));
        QCOMPARE(w.view(), QString("rate bars"));
    }

    // The About window: product and version, opened once however often
    // asked. The window, About and a message carry the program's icon; a
    // message stands over the settings dialog that holds the window disabled.
    // The Help menu's pages: HTML made from the README and the change log,
    // beside the program's folder (share/doc/loomway), never in the source
    // tree, with the README's pictures next to them.
    void helpMenuIconAndMessageOwner() {
        LW_Main w;
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("file", &recorder, "open");
        w.Menus().m_lmwhome->trigger();
        w.Menus().m_whatsnew->trigger();
        QDesktopServices::unsetUrlHandler("file");
        const QString doc = QCoreApplication::applicationDirPath() + "/../share/doc/loomway/";
        QCOMPARE(recorder.files, (QStringList{QDir::cleanPath(doc + "README.html"),
                                              QDir::cleanPath(doc + "CHANGELOG.html")}));
        for (auto [path, heading] : {std::pair{recorder.files[0], "<h1>Palm Loomway</h1>"},
                                     {recorder.files[1], "<h1>Palm Loomway: what"}}) {
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY(html.startsWith("<!DOCTYPE html>") &&
                    html.contains("<meta charset=\"utf-8\">"));
            QVERIFY2(html.contains(heading), qPrintable(html.left(300)));
            const QRegularExpression image("<img src=\"([^\"]+)\"");
            for (const auto& m : image.globalMatch(html)) {
                QVERIFY2(QFileInfo::exists(QFileInfo(path).dir().filePath(m.captured(1))),
                         qPrintable(m.captured(1)));
            }
            QCOMPARE(html.contains("<img "), path.endsWith("README.html"));
        }
        w.show();
        QVERIFY(carriesIcon(&w));
        w.Menus().m_about->trigger();
        w.Menus().m_about->trigger();
        QCOMPARE(w.findChildren<AboutWindow*>().size(), qsizetype(1));
        auto* about = w.findChild<AboutWindow*>();
        QVERIFY(about->isVisible() && !about->isModal() && carriesIcon(about));
        QCOMPARE(about->findChild<QLabel*>("lblProduct")->text() + "|" +
                     about->findChild<QLabel*>("lblVersion")->text(),
                 QString("Palm Loomway|Version " LOOMWAY_VERSION));
        QDialog dialog(&w);
        dialog.setObjectName("dialog");
        dialog.show();
        w.setEnabled(false);
        dialog.setEnabled(true);
        QtMessageBox messages(&w);
        const QString seen =
            answered([&] { messages.Show("t", "x", MessageIcon::Exclamation, MessageButtons::Ok); },
                     QMessageBox::Ok);
        QCOMPARE(seen.section('|', -1), QString("over dialog with icon"));
    }

    // Tab goes between the switch and the clipboard lamp only (a pane with
    // the focus would take Ctrl+C and Ctrl+A from the menus); both read as
    // buttons and are worked by these keys or a screen reader's press. In a
    // pane a double-click selects a word (and shows everything); Ctrl+C
    // copies while text is selected and is "&Serial Communications" otherwise.
    // New data scrolls the pane to its end; a single character keeps the caret.
    void keyboardAndPanes() {
        Window window;
        window.SetDisplay("ALL");
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.element("imgOnOff")->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 3; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, QStringList({"imgOnOff", "imgCLP", "imgOnOff"}));
        QStringList worked; // keys ("": a screen reader's press) and what they did
        for (const char* keys : {"Space", "Return", "Num+Enter", "Ctrl+Space", "A", ""}) {
            window.calls.clear();
            window.SetLamp(Lamp::imgCLP, "CLPOFF");
            for (const char* name : {"imgOnOff", "imgCLP"}) {
                QAccessibleInterface* face =
                    QAccessible::queryAccessibleInterface(window.element(name));
                QCOMPARE(face->role(), QAccessible::Button);
                if (!*keys) {
                    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                } else {
                    const QKeyCombination k = QKeySequence(keys)[0];
                    QTest::keyClick(window.element(name), k.key(), k.keyboardModifiers());
                }
            }
            const bool lit = window.LampShows(Lamp::imgCLP) == LampPicture::imgClpf;
            worked << QString(keys) + ":" + window.calls.join(" ") + (lit ? " lit" : "");
        }
        QCOMPARE(worked.join(", "), QString("Space:toggle send lit, Return:toggle send lit, "
                                            "Num+Enter:toggle send lit, Ctrl+Space:, A:, "
                                            ":toggle send lit"));
        window.calls.clear();
        window.ShowPane(Pane::txtSend, "some data", true);
        auto* send = window.findChild<DataPane*>("txtSend");
        send->Flush();
        send->setFocus();
        QTest::keyClick(send, Qt::Key_C, Qt::ControlModifier);
        QTextCursor at(send->document());
        at.setPosition(6);
        QTest::mouseDClick(send->viewport(), Qt::LeftButton, {},
                           send->cursorRect(at).center() + QPoint(2, 0));
        QCOMPARE(send->textCursor().selectedText(), QString("data"));
        QTest::keyClick(send, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(window.calls.join(" "), QString("LW_CONF"));
        auto* pane = window.findChild<DataPane*>("txtReceive");
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += "line " + std::to_string(i) + "\n";
            pane->ShowBytes(text, true);
            pane->Flush();
        }
        QVERIFY(pane->verticalScrollBar()->value() > 0 &&
                pane->viewport()->rect().contains(pane->cursorRect()));
        pane->ShowBytes("", false); // emptied at the limit: the caret goes to the top
        pane->Flush();
        pane->ShowBytes("q", false);
        pane->Flush();
        QCOMPARE(pane->textCursor().position(), 0);
    }

    // Escape on a yes/no question is No.
    void boxes() {
        const QString text = "Port 3 <b>\u2014</b>\nnot there.";
        const QString head = "Port Error|" + text + "|plain|";
        for (auto [icon, buttons, byDefault, press, shown, answer] :
             {std::tuple{MessageIcon::Exclamation, MessageButtons::Ok, MessageAnswer::Ok,
                         QMessageBox::Ok, "warning OK default OK", MessageAnswer::Ok},
              {MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::No, QMessageBox::Yes,
               "critical Yes No default No", MessageAnswer::Yes},
              {MessageIcon::Exclamation, MessageButtons::YesNo, MessageAnswer::Yes,
               QMessageBox::NoButton, "warning Yes No default Yes", MessageAnswer::No}}) {
            QWidget owner;
            owner.setObjectName("owner");
            QtMessageBox messages(&owner);
            MessageAnswer got{};
            const auto show = [&] {
                got = messages.Show("Port Error", text.toStdString(), icon, buttons, byDefault);
            };
            QCOMPARE(answered(show, press), head + shown + "|over owner");
            QCOMPARE(got, answer);
        }
    }

    // Hex and text cells show at most their limit, then an ellipsis.
    void formats_data() {
        addRows({"bytes", "limit", "hex", "text"},
                {{"empty", "", "", "", ""},
                 {"edges", "001F207E7FFF", "", "00 1F 20 7E 7F FF", ".. ~.."},
                 {"cut", "6162636465", "3", "61 62 63 \u2026", "abc\u2026"}});
    }
    void formats() {
        const std::string bytes = QByteArray::fromHex(cell("bytes").toLatin1()).toStdString();
        const std::size_t limit =
            cell("limit").isEmpty() ? std::string::npos : cell("limit").toUInt();
        QCOMPARE(QString::fromStdString(HexText(bytes, limit)), cell("hex"));
        QCOMPARE(QString::fromStdString(PrintableText(bytes, limit)), cell("text"));
    }

    void parseHex_data() {
        addRows({"typed", "bytes"}, // bytes in hex; none: refused
                {{"pairs", "7e ff 03", "7eff03"},
                 {"0x", "0x7e,0XFF", "7eff"},
                 {"odd", "7e f", ""},
                 {"blank", "  ", ""},
                 {"lone 0x", "0x", ""}});
    }
    void parseHex() {
        const auto parsed = ParseHexBytes(cell("typed").toStdString());
        QCOMPARE(parsed ? QByteArray::fromStdString(*parsed).toHex() : QByteArray(),
                 cell("bytes").toLatin1());
    }

    // Many chunks between two syncs arrive as one insertion; chunks the store
    // dropped leave as one removal from the top; rows read the store itself.
    void rowsInBatches() {
        FakeClock clock;
        ChunkStore store(clock,
                         5 * ChunkStore::Cost({.bytes = std::string(100, 'x'), .marks = {}}));
        ChunkModel model(store);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        for (char c : std::string("abc")) {
            store.OnChunk(H2M, false, std::string(100, c));
        }
        QCOMPARE(model.rowCount(), 0);
        model.Sync();
        QCOMPARE(std::tuple(model.rowCount(), inserted.size(), inserted[0].at(2).toInt()),
                 std::tuple(3, qsizetype(1), 2));
        for (char c : std::string("defg")) {
            store.OnChunk(M2H, true, std::string(100, c));
        }
        // Before the sync, a row whose chunk went shows empty, not another chunk.
        QVERIFY(!model.data(model.index(0, ChunkModel::Length)).isValid());
        model.Sync();
        QCOMPARE(
            std::tuple(removed.size(), removed[0].at(2).toInt(), inserted.size(), model.rowCount()),
            std::tuple(qsizetype(1), 1, qsizetype(2), 5)); // a, b dropped
        QCOMPARE(model.Record(0)->bytes[0], 'c');
        QCOMPARE(model.data(model.index(4, ChunkModel::Direction)).toString(),
                 QString::fromUtf8("modem \u2192 handheld"));
        QCOMPARE(model.data(model.index(4, ChunkModel::Fate)).toString(), "consumed");
        QCOMPARE(model.data(model.index(0, ChunkModel::Length)).toInt(), 100);
        // More than the store holds between two syncs: every old row goes.
        for (int i = 0; i < 12; ++i) {
            store.OnChunk(H2M, false, std::string(100, 'z'));
        }
        model.Sync();
        QCOMPARE(std::tuple(model.rowCount(), model.Record(0)->sequence),
                 std::tuple(5, std::uint64_t(14)));
    }

    // Patterns are bytes (here Latin-1 characters).
    void find_data() {
        addRows({"pattern", "from", "forward", "ignoreCase", "row"},
                {{"text any case", "connect", "-1", "yes", "yes", "1"},
                 {"case kept", "connect", "-1", "yes", "", "-1"},
                 {"next wraps", "AT", "2", "yes", "yes", "0"},
                 {"previous", "AT", "0", "", "yes", "2"},
                 {"hex", "~\u00ff\x03", "-1", "yes", "", "3"}});
    }
    void find() {
        FakeClock clock;
        ChunkStore store(clock);
        ChunkModel model(store);
        for (const char* chunk : {"ATDT123\r", "\r\nCONNECT\r\n", "ATH\r"}) {
            store.OnChunk(H2M, false, chunk);
        }
        store.OnChunk(M2H, false, std::string("\x7e\xff\x03\xc0\x21", 5));
        model.Sync();
        QCOMPARE(model.Find(cell("pattern").toLatin1().toStdString(), cell("from").toInt(),
                            !cell("forward").isEmpty(), !cell("ignoreCase").isEmpty()),
                 cell("row").toInt());
    }

    // Rows in order, whatever order they were selected in, each with its
    // heading and hex dump lines; times since switch-on or by the wall clock.
    void hexDump() {
        FakeClock clock;
        ChunkStore store(clock);
        ChunkModel model(store);
        clock.steady = 1'234'567;
        store.OnChunk(H2M, false, "ATD\r");
        clock.steady = 61'000'000;
        store.OnChunk(M2H, false, "0123456789ABCDEFG");
        model.Sync();
        QCOMPARE(
            model.HexDump({1, 0, 1}),
            QString::fromUtf8("1.234  handheld \u2192 modem  forwarded  4 bytes  ATD\n"
                              "0000  41 54 44 0D                                       |ATD.|\n\n"
                              "61.000  modem \u2192 handheld  forwarded  17 bytes\n"
                              "0000  30 31 32 33 34 35 36 37  38 39 41 42 43 44 45 46  "
                              "|0123456789ABCDEF|\n"
                              "0010  47                                                |G|\n\n"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.SetWallClock(true);
        QCOMPARE(changed.size(), 1);
        const QString wall = model.data(model.index(0, ChunkModel::Time)).toString();
        QCOMPARE(wall, QDateTime::fromMSecsSinceEpoch(1'700'000'001'234)
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    }

    // The window follows the newest row until the user scrolls away or finds
    // something; copying puts the selected rows' dump on the clipboard.
    void followPauseFindCopy() {
        FakeClock clock;
        ChunkStore store(clock);
        MonitorWindow window(store);
        window.resize(800, 300);
        window.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QScrollBar* bar = window.View().verticalScrollBar();
        const auto feed = [&](int count) {
            for (int i = 0; i < count; ++i) {
                store.OnChunk(H2M, false, "row " + std::to_string(store.EndSequence()));
                window.OnChunk(H2M, false, {});
            }
        };
        feed(200);
        QTRY_COMPARE_WITH_TIMEOUT(window.Model().rowCount(), 200, 2000); // synced without a frame
        QVERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!window.Following());
        const int paused = bar->value();
        feed(50);
        window.Sync();
        QCOMPARE(std::pair(window.Model().rowCount(), bar->value()), std::pair(250, paused));
        window.SetFollowing(true);
        QCOMPARE(bar->value(), bar->maximum());

        window.findChild<QLineEdit*>("search")->setText("row 17");
        QVERIFY(window.FindNext());
        QVERIFY(!window.Following());
        QCOMPARE(window.View().currentIndex().row(), 17);
        QVERIFY(window.FindNext()); // "row 170"
        QCOMPARE(window.View().currentIndex().row(), 170);
        window.findChild<QLineEdit*>("search")->setText("no such");
        QVERIFY(!window.FindNext());
        window.CopySelection();
        QCOMPARE(QGuiApplication::clipboard()->text(), window.Model().HexDump({170}));
        window.findChild<QPushButton*>("clear")->click();
        QVERIFY(window.Model().rowCount() == 0 && store.Rows() == 0);
        feed(1); // rows come again after a clear
        window.Sync();
        QCOMPARE(window.Model().Record(0)->bytes, std::string("row 250"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
