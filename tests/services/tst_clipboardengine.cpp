#include "services/clipboardengine.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <optional>
#include <string>
#include <vector>

using namespace loomway;
using namespace loomway::test;

namespace {

// A clipboard in memory that records every text put on it.
class MemoryClipboard : public Clipboard {
public:
    std::optional<std::string> GetText() override {
        ++reads;
        return content;
    }
    void SetText(const std::string& text) override {
        sets.push_back(text);
        content = text;
    }
    std::optional<std::string> content;
    std::vector<std::string> sets;
    int reads = 0;
};

std::vector<std::string> lampCodes(const RecordingLampPanel& lamps, Lamp lamp) {
    std::vector<std::string> codes;
    for (const auto& call : lamps.calls) {
        if (call.lamp == lamp) {
            codes.push_back(call.code);
        }
    }
    return codes;
}

struct SendRig {
    Settings settings;
    FakeSerialPort handheld;
    MemoryClipboard clipboard;
    RecordingTrafficView view;
    Traffic traffic{view};

    SendRig() {
        settings.ClipboardMethodOn = true;
        handheld.forceOpen(true);
    }
    void send() { Send_to_Clip(settings, handheld, clipboard, traffic); }
};

} // namespace

class TestClipboardEngine : public QObject {
    Q_OBJECT
private slots:
    // Each row: the chunks the handheld sends, what lands on the clipboard and
    // which chunk (0-based) completed the last request (-1: none).
    void requests_data() {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QStringList>("expectedSets");
        QTest::addColumn<int>("completingChunk");

        QTest::newRow("split over two chunks")
            << QStringList{"<LMW_C>one", "\ntwo</LMW_C>"} << QStringList{"one\r\ntwo"} << 1;
        QTest::newRow("split over three chunks, tags cut")
            << QStringList{"<LMW", "_C>hello</LMW_", "C>"} << QStringList{"hello"} << 2;
        QTest::newRow("CRLF in the body gets a second CR")
            << QStringList{"<LMW_C>a\r\nb</LMW_C>"} << QStringList{"a\r\r\nb"} << 0;
        QTest::newRow("empty request") << QStringList{"<LMW_C></LMW_C>"} << QStringList{""} << 0;
        QTest::newRow("text around the request")
            << QStringList{"abc<LMW_C>x</LMW_C>def"} << QStringList{"x"} << 0;
        QTest::newRow("leftover begins the next request")
            << QStringList{"<LMW_C>1</LMW_C><LMW", "_C>2", "</LMW_C>"} << QStringList{"1", "2"}
            << 2;
        QTest::newRow("two requests in one chunk, the second with the next chunk")
            << QStringList{"<LMW_C>1</LMW_C><LMW_C>2</LMW_C>", "x"} << QStringList{"1", "2"} << 1;
        QTest::newRow("stray closing tag before the request")
            << QStringList{"</LMW_C>junk<LMW_C>ok", "</LMW_C>"} << QStringList{"ok"} << 1;
        QTest::newRow("no request at all")
            << QStringList{"ATDT5551234\r", "CONNECT"} << QStringList{} << -1;
        QTest::newRow("only lone line feeds")
            << QStringList{"<LMW_C>\n\n</LMW_C>"} << QStringList{"\r\n\r\n"} << 0;
        QTest::newRow("print tags are not clipboard tags")
            << QStringList{"<LMW_P>x</LMW_P>"} << QStringList{} << -1;
    }
    void requests() {
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, expectedSets);
        QFETCH(int, completingChunk);

        MemoryClipboard clipboard;
        RecordingLampPanel lamps;
        ClipboardRedirect engine(clipboard, lamps);
        int lastCompleted = -1;
        for (int i = 0; i < chunks.size(); ++i) {
            if (engine.Redirect(chunks[i].toStdString())) {
                lastCompleted = i;
            }
        }
        std::vector<std::string> expected;
        for (const QString& s : expectedSets) {
            expected.push_back(s.toStdString());
        }
        QCOMPARE(clipboard.sets, expected);
        QCOMPARE(lastCompleted, completingChunk);
        QCOMPARE(lampCodes(lamps, Lamp::imgCLP),
                 std::vector<std::string>(expected.size(), "CLPON"));
        QCOMPARE(lamps.calls.size(), expected.size()); // no other lamp is touched
        QCOMPARE(clipboard.reads, 0);
    }

    // Only the chunk that completes a request reports it; the chunks before
    // it are ordinary data for the pump.
    void onlyTheCompletingChunkIsConsumed() {
        MemoryClipboard clipboard;
        RecordingLampPanel lamps;
        ClipboardRedirect engine(clipboard, lamps);
        QVERIFY(!engine.Redirect("<LMW_C>one"));
        QVERIFY(clipboard.sets.empty());
        QVERIFY(lamps.calls.empty());
        QCOMPARE(engine.ClipboardBuffer(), std::string("<LMW_C>one"));
        QVERIFY(engine.Redirect("\ntwo</LMW_C>"));
        QCOMPARE(clipboard.content, std::optional<std::string>("one\r\ntwo"));
        QVERIFY(!engine.Redirect("three"));
        QCOMPARE(clipboard.sets.size(), std::size_t(1));
    }

    // Bytes 128 to 255 and NUL pass into the clipboard text unchanged.
    void eightBitBodyPassesUnchanged() {
        MemoryClipboard clipboard;
        RecordingLampPanel lamps;
        ClipboardRedirect engine(clipboard, lamps);
        std::string body;
        for (int c = 0; c < 256; ++c) {
            if (c != '\n' && c != '<') {
                body += static_cast<char>(c);
            }
        }
        QVERIFY(engine.Redirect("<LMW_C>" + body + "</LMW_C>"));
        QCOMPARE(clipboard.content, std::optional<std::string>(body));
    }

    void widenLineFeeds_data() {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("no line feed") << QByteArray("abc") << QByteArray("abc");
        QTest::newRow("one") << QByteArray("a\nb") << QByteArray("a\r\nb");
        QTest::newRow("leading and trailing") << QByteArray("\nx\n") << QByteArray("\r\nx\r\n");
        QTest::newRow("CR alone stays") << QByteArray("a\rb") << QByteArray("a\rb");
        QTest::newRow("CRLF") << QByteArray("a\r\nb") << QByteArray("a\r\r\nb");
    }
    void widenLineFeeds() {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(qbytes(WidenLineFeeds(bytes(in))), out);
    }

    // "line1" CR LF "line2" on the clipboard goes out as 26 bytes with a single
    // line feed, in one write, counted in BytesReceived and shown in txtReceive.
    void sendsTheClipboardFramed() {
        SendRig rig;
        rig.clipboard.content = "line1\r\nline2";
        rig.traffic.CountBytes(Counter::BytesReceived, 4);
        rig.send();
        const std::string framed = "<LMW_C>line1\nline2</LMW_C>";
        QCOMPARE(framed.size(), std::size_t(26));
        QCOMPARE(rig.handheld.writes, std::vector<std::string>{framed});
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(30));
        QCOMPARE(rig.traffic.Count(Counter::BytesSent), std::uint64_t(0));
        QCOMPARE(rig.view.labels[Counter::BytesReceived], std::string("30"));
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), framed);
        QCOMPARE(rig.traffic.PaneText(Pane::txtSend), std::string());
        QVERIFY(rig.clipboard.sets.empty()); // the clipboard itself is left alone

        // A second send appends to the pane and the counter.
        rig.send();
        QCOMPARE(rig.handheld.written, framed + framed);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(56));
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), framed + framed);
    }

    void carriageReturnsRemoved_data() {
        QTest::addColumn<QByteArray>("clip");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("lone CR") << QByteArray("a\rb") << QByteArray("<LMW_C>ab</LMW_C>");
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("<LMW_C>a\nb</LMW_C>");
        QTest::newRow("only a CR") << QByteArray("\r") << QByteArray("<LMW_C></LMW_C>");
        QTest::newRow("high bytes")
            << QByteArray("\xe9\xff") << QByteArray("<LMW_C>\xe9\xff</LMW_C>");
    }
    void carriageReturnsRemoved() {
        QFETCH(QByteArray, clip);
        QFETCH(QByteArray, sent);
        SendRig rig;
        rig.clipboard.content = bytes(clip);
        rig.send();
        QCOMPARE(qbytes(rig.handheld.written), sent);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(sent.size()));
    }

    // None of these sends, counts or shows anything.
    void nothingSent_data() {
        QTest::addColumn<bool>("methodOn");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<bool>("hasText");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("method off") << false << true << true << QByteArray("hello");
        QTest::newRow("port closed") << true << false << true << QByteArray("hello");
        QTest::newRow("clipboard without text") << true << true << false << QByteArray();
        QTest::newRow("empty text") << true << true << true << QByteArray();
    }
    void nothingSent() {
        QFETCH(bool, methodOn);
        QFETCH(bool, portOpen);
        QFETCH(bool, hasText);
        QFETCH(QByteArray, text);
        SendRig rig;
        rig.settings.ClipboardMethodOn = methodOn;
        rig.handheld.forceOpen(portOpen);
        if (hasText) {
            rig.clipboard.content = bytes(text);
        }
        rig.send();
        QVERIFY(rig.handheld.writes.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(0));
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), std::string());
        QVERIFY(rig.view.labels.empty());
        QVERIFY(rig.view.panes.empty());
    }

    // A port that fails the write: nothing is counted or shown, no exception
    // leaves Send_to_Clip, and a later send on a working port goes through.
    void writeFailureDoesNothingMore() {
        class FailingPort : public FakeSerialPort {
        public:
            void Write(const std::string& data) override {
                if (fail) {
                    throw PortError{8018, "Operation valid only when the port is open"};
                }
                FakeSerialPort::Write(data);
            }
            bool fail = true;
        };
        Settings settings;
        settings.ClipboardMethodOn = true;
        FailingPort port;
        port.forceOpen(true);
        MemoryClipboard clipboard;
        clipboard.content = "hi";
        RecordingTrafficView view;
        Traffic traffic(view);
        Send_to_Clip(settings, port, clipboard, traffic);
        QCOMPARE(traffic.Count(Counter::BytesReceived), std::uint64_t(0));
        QCOMPARE(traffic.PaneText(Pane::txtReceive), std::string());
        QVERIFY(view.labels.empty());

        port.fail = false;
        Send_to_Clip(settings, port, clipboard, traffic);
        QCOMPARE(port.written, std::string("<LMW_C>hi</LMW_C>"));
        QCOMPARE(traffic.Count(Counter::BytesReceived), std::uint64_t(17));
    }
};

QTEST_GUILESS_MAIN(TestClipboardEngine)
#include "tst_clipboardengine.moc"
