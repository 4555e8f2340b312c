#include "core/traffic.h"
#include "ui/datapane.h"
#include "ui/lw_main.h"
#include "ui/panetext.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

using namespace loomway;

namespace {

std::string allBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

QChar expectedShown(unsigned char byte) {
    if (byte == '\n') {
        return QChar(u'\n');
    }
    if (byte < 0x20) {
        return QChar(char16_t(0x2400 + byte));
    }
    if (byte == 0x7F) {
        return QChar(char16_t(0x2421));
    }
    return QChar(char16_t(byte));
}

// What the pane holds, one character per byte; unlike toPlainText() this
// keeps a no-break space (byte 160) as it is.
QString shownText(const QPlainTextEdit& pane) {
    QString text = pane.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    return text;
}

} // namespace

class TestPanes : public QObject {
    Q_OBJECT
private slots:
    // One character per byte: Latin-1, with the control bytes as pictures.
    void displayTextOfEveryByte() {
        const std::string bytes = allBytes();
        const QString shown = PaneDisplayText(bytes);
        QCOMPARE(shown.size(), qsizetype(256));
        for (int b = 0; b < 256; ++b) {
            QCOMPARE(shown.at(b), expectedShown(static_cast<unsigned char>(b)));
        }
        QCOMPARE(PaneDisplayText(std::string()), QString());
    }

    void paneLooksAndBehaves() {
        DataPane pane;
        QVERIFY(pane.isReadOnly());
        QVERIFY(pane.textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
        QVERIFY(pane.textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
        QCOMPARE(pane.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(pane.palette().color(QPalette::Active, QPalette::Base), QColor(Qt::black));
        QCOMPARE(pane.palette().color(QPalette::Active, QPalette::Text), QColor(Qt::white));
        QCOMPARE(pane.palette().color(QPalette::Inactive, QPalette::Base), QColor(Qt::black));
    }

    // Typed characters, Backspace and Enter never reach the text.
    void typingIsDiscarded() {
        DataPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.ShowBytes("hello", true);
        pane.Flush();
        pane.setFocus();
        QTest::keyClicks(&pane, "abc");
        QTest::keyClick(&pane, Qt::Key_Backspace);
        QTest::keyClick(&pane, Qt::Key_Return);
        QTest::keyClick(&pane, Qt::Key_Tab);
        QTest::keyClick(&pane, Qt::Key_Home);
        QTest::keyClicks(&pane, "xyz");
        QTest::keyClick(&pane, Qt::Key_Delete);
        QCOMPARE(shownText(pane), QStringLiteral("hello"));
        QCOMPARE(pane.Bytes(), std::string("hello"));
    }

    // NUL and other control bytes neither cut off nor garble what follows.
    void controlBytesKeepTheText() {
        DataPane pane;
        const std::string text("AT\0DT\x01\x1b[0m\r\nOK\x85\x7f\xff end", 21);
        pane.ShowBytes(text, true);
        pane.Flush();
        const QString shown = shownText(pane);
        QCOMPARE(shown.size(), qsizetype(text.size()));
        QVERIFY(shown.endsWith(QStringLiteral("end")));
        QCOMPARE(shown.at(2), QChar(char16_t(0x2400)));
        QCOMPARE(shown.at(5), QChar(char16_t(0x2401)));
        QCOMPARE(shown.at(6), QChar(char16_t(0x241B)));
        QCOMPARE(shown.at(10), QChar(char16_t(0x240D)));
        QCOMPARE(shown.at(11), QChar(u'\n'));
        QCOMPARE(shown.at(14), QChar(char16_t(0x85)));
        QCOMPARE(shown.at(15), QChar(char16_t(0x2421)));
        QCOMPARE(shown.at(16), QChar(char16_t(0xFF)));

        pane.ShowBytes(allBytes(), true);
        pane.Flush();
        QCOMPARE(shownText(pane), PaneDisplayText(allBytes()));
    }

    // Whether the new text continues the old one or replaces it, the pane
    // shows exactly the new text.
    void successiveTexts() {
        DataPane pane;
        const std::string steps[] = {"a",
                                     "ab",
                                     std::string("ab\0c\n", 5),
                                     std::string("ab\0c\nline two\n", 14),
                                     "other text",
                                     "",
                                     "",
                                     "x\ny",
                                     std::string(1000, 'z')};
        for (const std::string& text : steps) {
            pane.ShowBytes(text, true);
            pane.Flush();
            QCOMPARE(shownText(pane), PaneDisplayText(text));
            QCOMPARE(pane.Bytes(), text);
        }
    }

    // Many texts before a refresh: the pane draws only the latest, once.
    void textsBetweenRefreshes() {
        DataPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.ShowBytes("first", true);
        pane.Flush();
        std::string text = "first";
        for (int i = 0; i < 200; ++i) {
            text += static_cast<char>(i);
            pane.ShowBytes(text, true);
        }
        QCOMPARE(pane.Bytes(), text);
        QCOMPARE(shownText(pane), QStringLiteral("first"));
        QTRY_COMPARE(shownText(pane), PaneDisplayText(text));
        QCOMPARE(pane.textCursor().position(), int(text.size()));
        // Emptied and refilled between two refreshes.
        pane.ShowBytes("", true);
        pane.ShowBytes("x", false);
        QTRY_COMPARE(shownText(pane), QStringLiteral("x"));
    }

    void caretPlacement() {
        DataPane pane;
        pane.resize(200, 60);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += "line " + std::to_string(i) + "\n";
            pane.ShowBytes(text, true);
            pane.Flush();
        }
        QCOMPARE(pane.textCursor().position(), int(text.size()));
        // Scrolled to the end: the caret's line is in view.
        QVERIFY(pane.verticalScrollBar()->value() > 0);
        QVERIFY(pane.viewport()->rect().contains(pane.cursorRect()));
        // A single character keeps the caret where it was.
        pane.ShowBytes("", false);
        pane.Flush();
        pane.ShowBytes("q", false);
        pane.Flush();
        QCOMPARE(shownText(pane), QStringLiteral("q"));
        QCOMPARE(pane.textCursor().position(), 0);
    }

    // The counters, the panes and status panel 1 of the window, fed through
    // the traffic state.
    void windowShowsTraffic() {
        LW_Main window;
        Traffic traffic(window);
        traffic.CountBytes(Counter::BytesSent, 5);
        traffic.CountBytes(Counter::BytesSent, 1048571);
        traffic.CountBytes(Counter::BytesReceived, 26);
        auto* sent = window.findChild<QLabel*>("lblSNDbyt");
        auto* received = window.findChild<QLabel*>("lblRCVByt");
        // Drawn with the next frame, without anyone asking.
        QTRY_COMPARE(sent->text(), QStringLiteral("1048576"));
        QTRY_COMPARE(received->text(), QStringLiteral("26"));
        QVERIFY(sent->alignment().testFlag(Qt::AlignRight));
        QVERIFY(received->alignment().testFlag(Qt::AlignRight));
        QCOMPARE(sent->toolTip(), QStringLiteral("Bytes Sent"));
        QCOMPARE(received->toolTip(), QStringLiteral("Bytes Received"));

        traffic.AppendToPane(Pane::txtSend, std::string("<LMW_C>\0one", 11));
        traffic.AppendToPane(Pane::txtReceive, "OK\r\n");
        auto* send = window.findChild<DataPane*>("txtSend");
        auto* receive = window.findChild<DataPane*>("txtReceive");
        // Drawn at the next refresh, without anyone asking.
        QTRY_COMPARE(shownText(*send), PaneDisplayText(std::string("<LMW_C>\0one", 11)));
        QTRY_COMPARE(shownText(*receive), QString::fromUtf16(u"OK\u240D\n"));
        QCOMPARE(send->textCursor().position(), 11);
        traffic.AppendToPane(Pane::txtSend, std::string(990, 'x'));
        send->Flush();
        QCOMPARE(shownText(*send), QString());
        traffic.ResetBoth();
        receive->Flush();
        QCOMPARE(shownText(*receive), QString());
        window.FlushFrame();
        QCOMPARE(sent->text(), QStringLiteral("0"));

        window.ShowStatus("STATUS:  ON");
        auto* panel = window.findChild<QLabel*>("StatusBar1_Panel1");
        QCOMPARE(panel->text(), QStringLiteral("STATUS:  ON"));
        window.ShowStatus("STATUS:  OFF");
        QCOMPARE(panel->text(), QStringLiteral("STATUS:  OFF"));
        auto* second = window.findChild<QLabel*>("StatusBar1_Panel2");
        QVERIFY(second);
        QCOMPARE(second->text(), QString());
    }

    // Ctrl+C in a pane copies while text is selected; otherwise it is the
    // shortcut of "&Serial Communications".
    void copyOrCommunicationShortcut() {
        LW_Main window;
        int dialogs = 0;
        LW_Main::Hooks hooks;
        hooks.commDialog = [&dialogs] { ++dialogs; };
        window.SetHooks(hooks);
        window.SetDisplay("ALL");
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.ShowPane(Pane::txtSend, "some data", true);
        auto* send = window.findChild<DataPane*>("txtSend");
        send->Flush();
        send->setFocus();
        QTest::keyClick(send, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(dialogs, 1);
        send->selectAll();
        QTest::keyClick(send, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(dialogs, 1);
        QCOMPARE(shownText(*send), QStringLiteral("some data"));
    }
};

QTEST_MAIN(TestPanes)
#include "tst_panes.moc"
