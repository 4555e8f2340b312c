#include "services/clipboardengine.h"
#include "tests/support/fakes.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {
struct MemoryClipboard : Clipboard {
    std::optional<std::string> GetText() override { return content; }
    void SetText(const std::string& text) override { sets += text + "|"; }
    std::optional<std::string> content;
    std::string sets;
};
struct Port : FakeSerialPort {
    void Write(const std::string& data) override {
        if (fail) {
            throw PortError{8018, "Operation valid only when the port is open"};
        }
        FakeSerialPort::Write(data);
    }
    bool fail = false;
};
} // namespace

class TestClipboardEngine : public QObject {
    Q_OBJECT
private slots:
    // The chunks from the handheld, what lands on the clipboard ("|" after
    // each text) and which chunks completed a request.
    void requests_data() {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QByteArray>("sets");
        QTest::addColumn<QString>("completing");
        auto row = [](const char* name, QByteArrayList chunks, QByteArray sets, const char* done) {
            QTest::newRow(name) << chunks << sets << QString(done);
        };
        row("split, LF widened", {"<LMW", "_C>one", "\ntwo</LMW_C>x"}, "one\r\ntwo|", "..C");
        row("CR LF, lone CR", {"<LMW_C>\na\r\nb\r</LMW_C>"}, "\r\na\r\r\nb\r|", "C");
        row("empty, then leftover", {"<LMW_C></LMW_C><LMW_C>2</LMW_C>", "y"}, "|2|", "CC");
        row("8-bit, NUL", {QByteArray("<LMW_C>\0\x80\xff</LMW_C>", 18)}, {"\0\x80\xff|", 4}, "C");
        row("no request", {"ATDT5551234\r", "<LMW_P>x</LMW_P>"}, {}, "..");
    }
    void requests() {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QByteArray, sets);
        QFETCH(QString, completing);
        MemoryClipboard clipboard;
        RecordingLampPanel lamps;
        ClipboardRedirect engine(clipboard, lamps);
        QString done;
        for (const QByteArray& chunk : chunks) {
            done += engine.Redirect(chunk.toStdString()) ? "C" : ".";
        }
        QCOMPARE(done, completing);
        QCOMPARE(QByteArray::fromStdString(clipboard.sets), sets);
        QCOMPARE(lamps.calls.size(), std::size_t(completing.count('C')));
        for (const auto& call : lamps.calls) {
            QVERIFY(call.lamp == Lamp::imgCLP && call.code == "CLPON");
        }
    }

    // The clipboard goes to the handheld framed, carriage returns removed, in
    // one write, counted as received and shown in txtReceive.
    void send_data() {
        QTest::addColumn<QByteArray>("clip");
        QTest::addColumn<QByteArray>("sent");
        auto row = [](const char* name, QByteArray clip, QByteArray sent) {
            QTest::newRow(name) << clip << sent;
        };
        row("CR LF", "line1\r\nline2", "<LMW_C>line1\nline2</LMW_C>");
        row("CR CR LF, lone CR", "a\r\r\nb\rc", "<LMW_C>a\nbc</LMW_C>");
        row("only a CR", "\r", "<LMW_C></LMW_C>");
        row("high bytes", "\xe9\xff", "<LMW_C>\xe9\xff</LMW_C>");
    }
    void send() {
        QFETCH(QByteArray, clip);
        QFETCH(QByteArray, sent);
        Settings settings;
        settings.ClipboardMethodOn = true;
        Port port;
        port.forceOpen(true);
        MemoryClipboard clipboard;
        clipboard.content = clip.toStdString();
        RecordingTrafficView view;
        Traffic traffic(view);
        traffic.CountBytes(Counter::BytesReceived, 4);
        Send_to_Clip(settings, port, clipboard, traffic);
        Send_to_Clip(settings, port, clipboard, traffic);
        QCOMPARE(port.writes, std::vector<std::string>(2, sent.toStdString()));
        QCOMPARE(view.labels[Counter::BytesReceived], std::to_string(4 + 2 * sent.size()));
        QCOMPARE(traffic.PaneText(Pane::txtReceive), (sent + sent).toStdString());
        QVERIFY(traffic.PaneText(Pane::txtSend).empty() && clipboard.sets.empty());
    }

    // None of these sends, counts or shows anything.
    void nothingSent() {
        for (int c = 0; c < 5; ++c) {
            Settings settings;
            settings.ClipboardMethodOn = c != 0;
            Port port;
            port.forceOpen(c != 1);
            port.fail = c == 4;
            MemoryClipboard clipboard;
            clipboard.content =
                c == 2 ? std::nullopt : std::optional<std::string>(c == 3 ? "" : "hi");
            RecordingTrafficView view;
            Traffic traffic(view);
            Send_to_Clip(settings, port, clipboard, traffic);
            QVERIFY2(port.written.empty() && view.labels.empty() && view.panes.empty(),
                     std::to_string(c).c_str());
        }
    }
};

QTEST_GUILESS_MAIN(TestClipboardEngine)
#include "tst_clipboardengine.moc"
