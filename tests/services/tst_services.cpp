// The services: the print engine and its page layout, the clipboard engine,
// and what the pump, the clipboard sender and the status reply tell a chunk tap.
// At 10 points a printed line holds 10 characters of 100 twips, a page 10
// lines of 200 twips.
#include "core/datapump.h"
#include "core/traffic.h"
#include "services/clipboardengine.h"
#include "services/printengine.h"
#include "services/splittag.h"
#include "tests/support/fakes.h"
#include "tests/support/fixedmetricssurface.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <limits>

using namespace loomway;
using namespace loomway::test;

namespace {
// An engine on a fixed-metrics surface with a fake handheld port; `log` notes
// writes and pane updates in order.
struct PrintRig : FakeSerialPort, RecordingTrafficView {
    FixedMetricsSurface surface;
    Traffic traffic{*this};
    RecordingLampPanel lamps;
    PrintEngine engine{surface, *this, traffic, lamps};
    QStringList log;

    PrintRig() { forceOpen(true); }
    void Write(const std::string& data) override {
        log << "write " + QString::fromLatin1(data);
        FakeSerialPort::Write(data);
    }
    void ShowPane(Pane pane, const std::string& text, bool caret) override {
        log << "shown " + QString::fromLatin1(text);
        RecordingTrafficView::ShowPane(pane, text, caret);
    }
    bool print(const std::string& body) {
        return engine.PrintRedirect("<LMW_P>" + body + "</LMW_P>").completed;
    }
    // Each drawing as "page x y 'text'", "|" when it ended the line.
    QString drawings() const {
        QStringList out;
        for (const auto& d : surface.drawn) {
            out << QStringLiteral("p%1 %2 %3 '%4'%5")
                       .arg(d.page)
                       .arg(double(d.x))
                       .arg(double(d.y))
                       .arg(QString::fromLatin1(d.text))
                       .arg(d.endedLine ? "|" : "");
        }
        return out.join(", ");
    }
};

struct MemoryClipboard : Clipboard {
    std::optional<std::string> GetText() override { return content; }
    void SetText(const std::string& text) override { sets += text + "|"; }
    std::optional<std::string> content;
    std::string sets;
};

struct RecordingTap : ChunkTap {
    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override {
        static const char* names[] = {"HM", "MH", "PH"};
        seen += std::string(names[int(direction)]) + (consumed ? "* " : " ") + bytes + "|";
    }
    std::string seen;
};

} // namespace

class TestServices : public QObject {
    Q_OBJECT
private slots:
    void splitTag_data() {
        addRows({"text", "split"}, {{"none", "abc", "abc||"},
                                    {"empty tag", "a<>b", "a||b"},
                                    {"empty tag last", "ab<>", "ab<>||"},
                                    {"no > behind", "a<bc d", "a<bc d||"},
                                    {"> before <", "a>b<c>d", "a>b|c|d"},
                                    {"nested", "<<a>>", "|<a|>"}});
    }
    void splitTag() {
        const std::string input = cell("text").toStdString();
        const auto [before, tag, rest] = SplitTag(input);
        QCOMPARE(QString::fromStdString(std::string(before) + "|" + std::string(tag) + "|" +
                                        std::string(rest)),
                 cell("split"));
    }

    void layout_data() {
        addRows({"body", "drawn"},
                {{"overflowing character taken", "0123456789A", "p1 0 0 '0123456789A'"},
                 {"break with no space", "0123456789AB<NL>",
                  "p1 0 0 ''|, p1 0 200 '0123456789AB', p1 1200 200 ''|, p1 0 400 ''"},
                 {"break after the last space", "aaaa bbbbbb cc<NL>",
                  "p1 0 0 'aaaa bbbbbb'|, p1 0 200 ' ', p1 100 200 'cc'|, p1 0 400 ''"},
                 {"empty line", "a<NL><NL>b", "p1 0 0 'a'|, p1 0 200 ''|, p1 0 400 'b'"},
                 {"empty tag ends", "one<>two", "p1 0 0 'one'"},
                 {"center twice", "<ALIGN=CENTER>ab<FBOLD>cd<NL>",
                  "p1 0 0 '', p1 400 0 'ab', p1 700 0 'cd'|, p1 0 200 ''"},
                 {"left overprints", "abc<ALIGN=LEFT>de<NL>",
                  "p1 0 0 'abc', p1 0 0 'de'|, p1 0 200 ''"},
                 {"broken run aligned", "<ALIGN=RIGHT>aaaa bbbbbbb c<NL>",
                  "p1 0 0 '', p1 0 0 'aaaa'|, p1 0 200 'bbbbbbb', p1 800 200 ' c'|, p1 0 400 ''"},
                 {"last run unaligned; alignment outlives the job, not NL or FFEED",
                  "<ALIGN=RIGHT>abc|d<FBOLD>f<NL>hi<FFEED>",
                  "p1 0 0 '', p1 0 0 'abc', p1 900 0 'd', p1 900 0 'f'|, p1 0 200 'hi', p2 0 0 "
                  "''|, p2 0 200 ''"},
                 {"page feed", "<ALIGN=RIGHT>a<FFEED>b<FBOLD>",
                  "p1 0 0 '', p1 900 0 'a', p2 0 0 ''|, p2 0 200 'b', p2 100 200 ''"},
                 {"page number", "Page <PAGEN>", "p1 0 0 'Page ', p1 500 0 ' 1 ', p1 800 0 ''"},
                 {"bottom", "1<NL>2<NL>3<NL>4<NL>5<NL>6<NL>7<NL>8<NL>9<NL>10<NL><PAGEN>",
                  "p1 0 0 '1'|, p1 0 200 '2'|, p1 0 400 '3'|, p1 0 600 '4'|, p1 0 800 '5'|, "
                  "p1 0 1000 '6'|, p1 0 1200 '7'|, p1 0 1400 '8'|, p1 0 1600 '9'|, "
                  "p1 0 1800 '10'|, p1 0 2000 '', p2 0 0 ' 2 ', p2 300 0 ''"}});
    }
    // Jobs separated by "|".
    void layout() {
        PrintRig rig;
        const QStringList jobs = cell("body").split('|');
        for (const QString& job : jobs) {
            QVERIFY(rig.print(job.toStdString()));
        }
        QCOMPARE(rig.drawings(), cell("drawn"));
        QVERIFY(rig.surface.documentsEnded == jobs.size() && rig.surface.aborted == 0);
        QCOMPARE(rig.lamps.calls.size(), std::size_t(jobs.size()));
        for (const auto& call : rig.lamps.calls) {
            QVERIFY(call.lamp == Lamp::Printer && call.picture == LampPicture::PrinterOn);
        }
        QVERIFY(rig.log.isEmpty()); // nothing is sent or shown
    }

    // Each style tag changes the font of what follows, other tags change
    // nothing; orientation tags take effect before the run in front of them.
    void styles() {
        PrintRig rig;
        rig.surface.printableWidth = 100000;
        QVERIFY(rig.print("a<FBOLD>b<FITALIC>c<FUNDER>d<FNORMAL>e<FONT=ARIAL><FSIZE=24>f<FONT=TNR>g"
                          "<PORIENT_L>h<FDEFAULT>i<PORIENT_P><FONT=ARIAL><FONT=COURNEW><FSIZE=8>j"
                          "<FSIZE=11><fbold><FONT=X>k"));
        QStringList got;
        for (const auto& d : rig.surface.drawn) {
            if (!d.text.empty()) {
                got << QStringLiteral("%1 %2%3%4 %5 %6 %7")
                           .arg(QString::fromStdString(d.text), d.bold ? "b" : "-",
                                d.italic ? "i" : "-", d.underline ? "u" : "-",
                                QString::fromStdString(d.face))
                           .arg(double(d.size))
                           .arg(d.orientation);
            }
        }
        QCOMPARE(got, (QStringList{"a --- Courier New 10 1", "b b-- Courier New 10 1",
                                   "c bi- Courier New 10 1", "d biu Courier New 10 1",
                                   "e --- Courier New 10 1", "f --- Arial 24 1",
                                   "g --- Times New Roman 24 2", "h --- Times New Roman 24 2",
                                   "i --- Courier New 10 1", "j --- Courier New 8 1",
                                   "k --- Courier New 8 1"}));
    }

    // Each character of a long run without a space is measured about once.
    void longRunIsNotQuadratic() {
        PrintRig rig;
        rig.surface.record = false;
        rig.surface.printableHeight = 1e6; // within the page cap
        QVERIFY(rig.print(std::string(200000, 'x') + "<NL>"));
        QCOMPARE(rig.surface.drawnChars, std::size_t(200000));
        QVERIFY(rig.surface.measuredChars <= 400000);
    }

    // A job starts in portrait Courier New 10 at the top left and ends by
    // resetting the styles, which it did not reset at its start.
    void jobStartAndEnd() {
        PrintRig rig;
        rig.surface.SetFontBold(true);
        rig.surface.calls.clear();
        QVERIFY(rig.print(""));
        QCOMPARE(rig.surface.calls,
                 (std::vector<std::string>{"SetOrientation 1", "SetFontName Courier New",
                                           "SetFontSize 10", "SetCurrentX 0", "SetCurrentY 0",
                                           "Print ", "EndDoc", "SetFontBold 0",
                                           "SetFontUnderline 0", "SetFontItalic 0"}));
        QVERIFY(rig.surface.drawn[0].bold);
    }

    // A job that fails before its end (the surface, or the engine's own
    // arithmetic) drops its document at once: nothing drawn after the failure,
    // no end, styles left as they were, the leftover kept for the next request.
    void failure_data() {
        addRows({"failOn", "last"}, {{"NewPage", "p1 0 200 'two'"},
                                     {"infinite width", "", "p2 0 200 ''"},
                                     {"EndDoc", "p2 0 400 ''"}});
    }
    void failure() {
        PrintRig rig;
        rig.surface.failOn = cell("failOn").toStdString();
        if (rig.surface.failOn.empty()) {
            rig.surface.printableWidth = std::numeric_limits<float>::infinity();
        }
        QVERIFY(rig.engine
                    .Redirect("<LMW_P><FBOLD>one<NL>two<FFEED><ALIGN=CENTER>three<NL></LMW_P>"
                              "<LMW_P>kept")
                    .completed);
        QCOMPARE(rig.drawings().section(", ", -1), cell("last"));
        QVERIFY(rig.surface.aborted == 1 && rig.surface.documentsEnded == 0);
        QVERIFY(rig.surface.bold && rig.log.isEmpty());
        rig.surface.failOn.clear();
        rig.surface.printableWidth = 1000;
        QVERIFY(rig.engine.Redirect("</LMW_P>").completed);
        QVERIFY(rig.surface.drawn.back().text == "kept" && rig.surface.drawn.back().bold);
    }

    // The reply to <SRESP>: written after the job, then shown, never counted.
    // The body comes in chunks separated by "|".
    void statusReply_data() {
        addRows({"body", "failOn", "reply"},
                {{"twice, mid text, last font", "ab<SRESP>cd<NL><SRESP><FSIZE=24>", "",
                  "DEFINED 5,5 480,240 32 Fixed Printer"},
                 {"no printer", "<SRESP>", "SetOrientation", "ERROR(482) 0,0 0,0 7 NOT_DEFINED"},
                 {"fails before a request from an earlier chunk", "text<SRESP>|more", "Print", ""},
                 {"fails at the name", "<SRESP>", "DeviceName",
                  "ERROR(482) 12,12 200,100 7 NOT_DEFINED"},
                 {"fails after the reply", "<SRESP>", "SetFontBold",
                  "DEFINED 12,12 200,100 7 Fixed Printer"}});
    }
    void statusReply() {
        const QStringList f = cell("reply").split(' ') + QStringList{"", "", "", ""};
        const QString reply =
            QString("<LMW_RSP>STA=%1~PRINT_HW=%2~FONT_HW=%3~LEN=%4~NAME=%5</LMW_RSP>")
                .arg(f[0], f[1], f[2], f[3], f.mid(4).join(' ').trimmed());
        PrintRig rig;
        rig.surface.failOn = cell("failOn").toStdString();
        const QStringList chunks = ("<LMW_P>" + cell("body") + "</LMW_P>").split('|');
        for (const QString& chunk : chunks) {
            QCOMPARE(rig.engine.Redirect(chunk.toStdString()).completed, chunk == chunks.last());
        }
        const QStringList expected = f[0].isEmpty() ? QStringList()
                                     : f[0] != "DEFINED"
                                         ? QStringList{"shown " + reply, "write " + reply}
                                         : QStringList{"write " + reply, "shown " + reply};
        QCOMPARE(rig.log, expected);
        QCOMPARE(rig.traffic.Count(Counter::Received), 0u);
    }

    // A job may fill 1000 pages; text past them ends it with the error reply.
    void pageCap_data() {
        addRows({"unit", "count", "status"},
                {{"1000 pages", "x<FFEED>", "999", "DEFINED"},
                 {"page feeds past the cap", "x<FFEED>", "1000", "ERROR(7)"},
                 {"lines past the cap", "x<NL>", "10000", "ERROR(7)"}});
    }
    void pageCap() {
        PrintRig rig;
        rig.surface.record = false;
        std::string body;
        for (int i = cell("count").toInt(); i > 0; --i) {
            body += cell("unit").toStdString();
        }
        QVERIFY(rig.print(body + "x<SRESP>"));
        QVERIFY(rig.written.starts_with("<LMW_RSP>STA=" + cell("status").toStdString() + "~"));
        QCOMPARE(rig.surface.aborted, cell("status") == "DEFINED" ? 0 : 1);
    }

    // Each completed request lands on the clipboard, LF widened to CR LF,
    // 8-bit bytes kept; a leftover request completes with a later chunk.
    void requests() {
        MemoryClipboard clipboard;
        RecordingLampPanel lamps;
        ClipboardEngine engine(clipboard, lamps);
        QVERIFY(engine.Redirect(std::string("<LMW_C>\na\r\nb\r\0\x80\xff</LMW_C>", 24)).completed);
        QVERIFY(engine.Redirect("<LMW_C></LMW_C><LMW_C>2</LMW_C>").completed);
        QVERIFY(engine.Redirect("y").completed);
        QCOMPARE(clipboard.sets, std::string("\r\na\r\r\nb\r\0\x80\xff||2|", 15));
        QCOMPARE(lamps.calls.size(), std::size_t(3));
        for (const auto& call : lamps.calls) {
            QVERIFY(call.lamp == Lamp::Clipboard && call.picture == LampPicture::ClipboardOn);
        }
    }

    // The clipboard goes to the handheld framed, carriage returns removed, in
    // one write, counted as received and shown in the received pane; or, on a fault,
    // nothing is sent, counted or shown.
    void send_data() {
        addRows({"clip", "sent"},
                {{"CR CR LF, lone CR, high bytes", "a\r\r\nb\rcéÿ", "<LMW_C>a\nbcéÿ</LMW_C>"},
                 {"only a CR", "\r", "<LMW_C></LMW_C>"},
                 {"method off", "hi", ""},
                 {"port closed", "hi", ""},
                 {"no text", "hi", ""},
                 {"write fails", "hi", ""},
                 {"empty text", "", ""}});
    }
    void send() {
        const QByteArray clip = cell("clip").toLatin1(), sent = cell("sent").toLatin1();
        const QString fault = QTest::currentDataTag();
        Settings settings;
        settings.ClipboardMethodOn = fault != "method off";
        PrintRig port; // its port and traffic
        port.forceOpen(fault != "port closed");
        port.writeError.code =
            fault == "write fails" ? PortError::Code::PortNotOpen : PortError::Code::None;
        MemoryClipboard clipboard;
        clipboard.content = fault == "no text" ? std::nullopt : std::optional(clip.toStdString());
        port.traffic.CountBytes(Counter::Received, 4);
        SendToClipboard(settings, port, clipboard, port.traffic);
        QCOMPARE(QByteArray::fromStdString(port.written), sent);
        QCOMPARE(port.writes.size(), std::size_t(sent.isEmpty() ? 0 : 1));
        QCOMPARE(port.labels[Counter::Received], std::to_string(4 + sent.size()));
        QCOMPARE(port.traffic.PaneText(Pane::Received), sent.toStdString());
    }

    void everyChunkIsReported() {
        PrintRig rig; // its handheld port, traffic and lamps serve the pump as well
        Settings settings;
        settings.SerialMethodOn = settings.PrintMethodOn = settings.ClipboardMethodOn = true;
        FakeSerialPort modem;
        modem.forceOpen(true);
        MemoryClipboard clipboard;
        ClipboardEngine clipboardEngine(clipboard, rig.lamps);
        DataPump pump(settings, rig, modem, rig.engine, clipboardEngine, rig.traffic, rig.lamps);
        rig.SetReceiveHandler([&pump] { pump.OnHandheldData(); });
        modem.SetReceiveHandler([&pump] { pump.OnModemData(); });
        RecordingTap tap;
        pump.SetChunkTap(&tap);
        rig.engine.SetChunkTap(&tap);
        rig.arrive("ATZ\r");
        modem.arrive("OK\r");
        rig.arrive("<LMW_C>a</LMW_C>b"); // what follows a request is forwarded
        rig.arrive("<LMW_P><SRESP></LMW_P>");
        settings.SerialMethodOn = false; // read, not forwarded, still reported
        rig.arrive("y");
        modem.arrive("x");
        clipboard.content = "hi";
        SendToClipboard(settings, rig, clipboard, rig.traffic, &tap);
        rig.forceOpen(false);
        SendToClipboard(settings, rig, clipboard, rig.traffic, &tap);
        const std::string reply = rig.writes.at(rig.writes.size() - 2);
        QCOMPARE(
            QString::fromStdString(tap.seen),
            QString::fromStdString("HM ATZ\r|MH OK\r|HM* <LMW_C>a</LMW_C>|HM b|PH " + reply +
                                   "|HM* <LMW_P><SRESP></LMW_P>|HM y|MH x|PH <LMW_C>hi</LMW_C>|"));
        QVERIFY(reply.starts_with("<LMW_RSP>STA=DEFINED"));
    }
};

QTEST_APPLESS_MAIN(TestServices)
#include "tst_services.moc"
