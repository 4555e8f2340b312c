// The main window: menus, captions, views and sizes, lamps, clicks and keys,
// the traffic shown, what a screen reader hears; its icon and message boxes.
#include "core/traffic.h"
#include "tests/support/testsupport.h"
#include "ui/aboutwindow.h"
#include "ui/datapane.h"
#include "ui/displaymode.h"
#include "ui/lamppictures.h"
#include "ui/mainwindow.h"
#include "ui/qtmessagebox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
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

struct Window : MainWindow {
    Window() {
        for (auto [signal, name] : {std::pair{&MainWindow::clearPanesRequested, "ClearPanes"},
                                    {&MainWindow::resetCountersRequested, "ResetCounters"},
                                    {&MainWindow::resetBothRequested, "ResetBoth"},
                                    {&MainWindow::quitRequested, "quit"},
                                    {&MainWindow::methodsDialogRequested, "Methods"},
                                    {&MainWindow::preferencesDialogRequested, "Preferences"},
                                    {&MainWindow::commDialogRequested, "Comm"},
                                    {&MainWindow::pppDialogRequested, "Ppp"},
                                    {&MainWindow::redirectionToggleRequested, "toggle"},
                                    {&MainWindow::sendToClipboardRequested, "send"}}) {
            connect(this, signal, this, [this, name = QString(name)] { calls << name; });
        }
        EnableConnectedCommands();
    }
    QWidget* element(const char* name) {
        QWidget* w = findChild<QWidget*>(name);
        auto* pane = qobject_cast<DataPane*>(w);
        return pane ? pane->viewport() : w;
    }
    QString view() {
        const MainMenus& m = Menus();
        return QString(m.m_leds->isChecked()          ? "led"
                       : m.m_rate->isChecked()        ? "rate"
                       : m.m_dataSniffer->isChecked() ? "full"
                                                      : "-") +
               (menuBar()->isVisibleTo(this) ? " bars" : "");
    }
    QStringList calls;
};

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
        QCOMPARE(describe(m.m_configure),
                 QString("&ReDirection Methods|Ctrl+M, Startup &Preferences|Ctrl+P, "
                         "&Serial Communications|Ctrl+C, &Internet (PPP)...|"));
        QCOMPARE(describe(m.m_help),
                 QString("QUILLON &Home Page|, &Palm Loomway Hot News!|, -, &About|Ctrl+A"));
        QCOMPARE(describe(w.menuBar()), QString("&File>, &View>, Co&nfigure>, &Help>"));
        for (QAction* item : {m.m_clearSniffer, m.m_resetBytes, m.m_resetBoth, m.m_exit,
                              m.m_methods, m.m_preferences, m.m_commSettings, m.m_ppp}) {
            item->trigger();
        }
        w.close(); // the close box runs the exit command too
        QCOMPARE(
            w.calls.join(" "),
            QString("ClearPanes ResetCounters ResetBoth quit Methods Preferences Comm Ppp quit"));
        MainWindow bare; // an item without its command is disabled
        const MainMenus& b = bare.Menus();
        QVERIFY(!b.m_clearSniffer->isEnabled() && !b.m_commSettings->isEnabled() &&
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
        MainWindow window;
        LampBoard& lamps = window.Lamps();
        const LampPictures& pictures = lamps.Pictures();
        for (auto [lit, dark, hueLow, hueHigh] :
             {std::tuple{LampPicture::PowerOn, LampPicture::PowerOff, 30, 48}, // amber power
              {LampPicture::ReceiveOn, LampPicture::ReceiveOff, 100, 140},     // green receive
              {LampPicture::ModemSendOn, LampPicture::ModemSendOff, 50, 65},   // yellow send
              {LampPicture::PrinterOn, LampPicture::PrinterOff, -1, 360},      // white printer
              {LampPicture::ClipboardOn, LampPicture::ClipboardOff, 0, 360},   // clipboard
              {LampPicture::ClipboardFlying, LampPicture::ClipboardOff, 0, 360},
              {LampPicture::LightGreen, LampPicture::DarkGreen, 100, 140},
              {LampPicture::LightRed, LampPicture::DarkRed, 0, 10}}) {
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
        window.SetDisplay(DisplayMode::All);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter;
        const std::pair<LampPicture, const char*> pictureStates[] = {
            {LampPicture::PowerOn, "lit"},         {LampPicture::ReceiveOff, "dark"},
            {LampPicture::ModemSendOn, "lit"},     {LampPicture::PrinterOn, "lit"},
            {LampPicture::ClipboardFlying, "lit"}, {LampPicture::SwitchOff, "off"},
            {LampPicture::LightRed, "lit"}};
        for (auto [lamp, name, start, said] :
             {std::tuple{Lamp::Power, "imgPWR", LampPicture::PowerOff, "PWR lamp"},
              {Lamp::Receive, "imgRCV", LampPicture::ReceiveOff, "RCV lamp"},
              {Lamp::ModemSend, "imgSND", LampPicture::ModemSendOff, "SER lamp"},
              {Lamp::Printer, "IMGPRT", LampPicture::PrinterOff, "PRT lamp"},
              {Lamp::Clipboard, "imgCLP", LampPicture::ClipboardOff, "CLP lamp"},
              {Lamp::Switch, "imgOnOff", LampPicture::SwitchOn, "ON / OFF switch"}}) {
            auto* label = window.findChild<QLabel*>(name);
            label->installEventFilter(&counter);
            QCOMPARE(lamps.Shows(lamp), start);
            QCOMPARE(spoken(label, QAccessible::Name), QString(said));
            QCOMPARE(spoken(label, QAccessible::Description),
                     QString(lamp == Lamp::Switch ? "on" : "dark"));
            for (auto [picture, state] : pictureStates) {
                counter.paints = 0;
                lamps.SetLamp(lamp, picture);
                QCOMPARE(counter.paints > 0, lamp != Lamp::ModemSend && lamp != Lamp::Receive);
                window.Traffic().FlushFrame();
                QCOMPARE(label->pixmap().toImage(), pictures.Picture(picture).toImage());
                QCOMPARE(spoken(label, QAccessible::Description), QString(state));
            }
        }
        Traffic traffic(window.Traffic());
        traffic.CountBytes(Counter::Sent, 1048576);
        traffic.CountBytes(Counter::Received, 105);
        std::string every;
        QString symbols; // control bytes as their pictures, new lines kept
        for (int b = 0; b < 256; ++b) {
            every += char(b);
            symbols += b == '\n'  ? QChar(b)
                       : b < 32   ? QChar(0x2400 + b)
                       : b == 127 ? QChar(0x2421)
                                  : QChar(b);
        }
        traffic.AppendToPane(Pane::Received, every);
        window.ShowStatus("STATUS:  ON");
        window.Traffic().FlushFrame();
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
                {{"LedOnly", "LedOnly", "", "4425x1782/2022 bars"},
                 {"LedOnly hidden", "LedOnly", "1", "4425x1170/1170"},
                 {"SendRec", "SendRec", "", "6090x1769.25/2004.25 bars"},
                 {"SendRec hidden", "SendRec", "1", "6090x1170/1170"},
                 {"Full", "Full", "", "6090x4212/4532 bars"},
                 {"Full hidden", "Full", "1", "6090x3957/4177"},
                 {"All hidden", "All", "1", "6090x4212/4532 bars"}});
    }
    void computedViews() {
        const auto mode =
            DisplayMode(QStringList{"LedOnly", "SendRec", "Full", "All"}.indexOf(cell("mode")));
        const DisplayLayout d = ComputeDisplay(mode, !cell("hide").isEmpty(), 255.0);
        const DisplayLayout taller = ComputeDisplay(mode, !cell("hide").isEmpty(), 355.0);
        QCOMPARE(QString("%1x%2/%3").arg(d.width).arg(d.height).arg(taller.height) +
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
        const auto expected = [&w](DisplayMode mode, bool hide) {
            const DisplayLayout d = ComputeDisplay(mode, hide, w.StatusBarTwips());
            const QSize frame = w.frameGeometry().size() - w.size();
            const PixelSize px =
                ClientSizeForOuter(d.width, d.height, frame.width(), frame.height());
            return QSize(px.width, px.height);
        };
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        for (auto [key, mode, view] : {std::tuple{Qt::Key_D, DisplayMode::LedOnly, "led bars"},
                                       {Qt::Key_S, DisplayMode::SendRec, "rate bars"},
                                       {Qt::Key_H, DisplayMode::SendRec, "rate bars"},
                                       {Qt::Key_F, DisplayMode::Full, "full"}}) {
            QTest::keyClick(&w, key, Qt::ControlModifier);
            QCOMPARE(w.view(), QString(view));
            QCOMPARE(w.size(), expected(mode, !QString(view).endsWith("bars")));
        }
        w.setWindowState(Qt::WindowMinimized);
        doubleClick(w.element("imgRCV"));
        QCOMPARE(w.view(), QString("full bars"));
        QVERIFY(w.IsNormalState() && w.statusBar()->isVisible() &&
                w.Menus().m_hideMenu->isChecked());
        QCOMPARE(w.size(), expected(DisplayMode::All, true));
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
            w.SetDisplay(DisplayMode::LedOnly);
            click(w.element(name));
            QCOMPARE(w.view(), QString("led bars"));
            doubleClick(w.element(name));
            QVERIFY2(w.view() == "full bars" && w.calls.isEmpty(), name);
        }
        Window w;
        w.SetDisplay(DisplayMode::SendRec);
        click(w.element("lblS"));
        doubleClick(w.element("lblR"));
        click(w.element("Picture1"), Qt::RightButton);
        QCOMPARE(w.view(), QString("rate bars"));
        click(w.element("Picture1"));
        QCOMPARE(w.view(), QString("full bars"));
        w.SetDisplay(DisplayMode::SendRec);
        doubleClick(w.element("imgOnOff"));
        click(w.element("imgOnOff"), Qt::RightButton);
        QTest::mousePress(w.element("imgOnOff"), Qt::LeftButton);
        QTest::mouseRelease(w.element("imgOnOff"), Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(w.calls.join(" "), QString("toggle"));
        doubleClick(w.element("imgCLP"));
        QCOMPARE(w.Lamps().Shows(Lamp::Clipboard), LampPicture::ClipboardFlying);
        w.Lamps().SetLamp(Lamp::Clipboard, LampPicture::ClipboardOff);
        click(w.element("imgCLP"), Qt::RightButton); // lights, does not send
        QCOMPARE(w.Lamps().Shows(Lamp::Clipboard), LampPicture::ClipboardFlying);
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
        MainWindow w;
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("file", &recorder, "open");
        w.Menus().m_homePage->trigger();
        w.Menus().m_hotNews->trigger();
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
        window.SetDisplay(DisplayMode::All);
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
            window.Lamps().SetLamp(Lamp::Clipboard, LampPicture::ClipboardOff);
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
            const bool lit = window.Lamps().Shows(Lamp::Clipboard) == LampPicture::ClipboardFlying;
            worked << QString(keys) + ":" + window.calls.join(" ") + (lit ? " lit" : "");
        }
        QCOMPARE(worked.join(", "), QString("Space:toggle send lit, Return:toggle send lit, "
                                            "Num+Enter:toggle send lit, Ctrl+Space:, A:, "
                                            ":toggle send lit"));
        window.calls.clear();
        window.Traffic().ShowPane(Pane::Sent, "some data", true);
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
        QCOMPARE(window.calls.join(" "), QString("Comm"));
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
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
