// The print engine around the layout: request collection, the lamp, the tag
// effects on the surface, the failure path and the printer status reply.

#include "tests/services/tst_printrig.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

using Calls = std::vector<std::string>;
Q_DECLARE_METATYPE(Calls)

namespace {

const std::string kReply12 =
    "<LMW_RSP>STA=DEFINED~PRINT_HW=12,12~FONT_HW=200,100~LEN=7~NAME=Fixed Printer</LMW_RSP>";

} // namespace

class TestPrintEngine : public QObject {
    Q_OBJECT
private slots:
    void collectsRequestsAcrossChunks();
    void eachTagCallsTheSurface_data();
    void eachTagCallsTheSurface();
    void jobStartAndEnd();
    void failurePathKeepsTheLeftover();
    void failureLeavesStylesAndSkipsTheRest();
    void statusReplyOnAWorkingPrinter();
    void statusReplyFields_data();
    void statusReplyFields();
    void errorReplies();
    void replyWriteFailureDoesNotEscape();
    void formatsBothVariants();
};

void TestPrintEngine::collectsRequestsAcrossChunks() {
    PrintRig rig;
    QVERIFY(!rig.engine.Redirect("noise <LM"));
    QVERIFY(!rig.engine.Redirect("W_P>Hel"));
    QVERIFY(rig.surface.calls.empty());
    QVERIFY(rig.lamps.calls.empty());
    QVERIFY(rig.engine.Redirect("lo</LMW_P><LMW_P>ne"));
    QCOMPARE(rig.inkTexts(), std::vector<std::string>{"Hello"});
    QCOMPARE(rig.lamps.calls.size(), std::size_t(1));
    QCOMPARE(rig.lamps.calls[0].lamp, Lamp::IMGPRT);
    QCOMPARE(rig.lamps.calls[0].code, std::string("PRTON"));
    // The leftover is the start of the next request.
    QCOMPARE(rig.engine.PrintBuffer(), std::string("<LMW_P>ne"));
    QVERIFY(!rig.engine.Redirect("x"));
    QVERIFY(rig.engine.Redirect("t</LMW_P>"));
    QCOMPARE(rig.inkTexts(), (std::vector<std::string>{"Hello", "next"}));
    QCOMPARE(rig.surface.documentsEnded, 2);
    QCOMPARE(rig.engine.PrintBuffer(), std::string());
    // Printing sends nothing to the handheld and counts nothing.
    QVERIFY(rig.handheld.writes.empty());
    QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(0));
    QCOMPARE(rig.traffic.Count(Counter::BytesSent), std::uint64_t(0));
}

void TestPrintEngine::eachTagCallsTheSurface_data() {
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<Calls>("expected");
    QTest::addColumn<int>("alignMode");
    const Calls plain{"Print ", "Print "};
    QTest::newRow("PORIENT_P") << QByteArray("PORIENT_P")
                               << Calls{"SetOrientation 1", "Print ", "Print "} << 0;
    QTest::newRow("PORIENT_L") << QByteArray("PORIENT_L")
                               << Calls{"SetOrientation 2", "Print ", "Print "} << 0;
    QTest::newRow("FBOLD") << QByteArray("FBOLD") << Calls{"Print ", "SetFontBold 1", "Print "}
                           << 0;
    QTest::newRow("FITALIC") << QByteArray("FITALIC")
                             << Calls{"Print ", "SetFontItalic 1", "Print "} << 0;
    QTest::newRow("FUNDER") << QByteArray("FUNDER")
                            << Calls{"Print ", "SetFontUnderline 1", "Print "} << 0;
    QTest::newRow("FNORMAL") << QByteArray("FNORMAL")
                             << Calls{"Print ", "SetFontBold 0", "SetFontUnderline 0",
                                      "SetFontItalic 0", "Print "}
                             << 0;
    QTest::newRow("FDEFAULT")
        << QByteArray("FDEFAULT")
        << Calls{"Print ",          "SetFontBold 0",           "SetFontUnderline 0",
                 "SetFontItalic 0", "SetFontName Courier New", "SetFontSize 10",
                 "Print "}
        << 0;
    for (const char* size : {"8", "10", "12", "14", "16", "18", "24"}) {
        const std::string name = std::string("FSIZE=") + size;
        QTest::newRow(name.c_str())
            << QByteArray(name.c_str())
            << Calls{"Print ", std::string("SetFontSize ") + size, "Print "} << 0;
    }
    QTest::newRow("FONT=ARIAL") << QByteArray("FONT=ARIAL")
                                << Calls{"Print ", "SetFontName Arial", "Print "} << 0;
    QTest::newRow("FONT=TNR") << QByteArray("FONT=TNR")
                              << Calls{"Print ", "SetFontName Times New Roman", "Print "} << 0;
    QTest::newRow("FONT=COURNEW") << QByteArray("FONT=COURNEW")
                                  << Calls{"Print ", "SetFontName Courier New", "Print "} << 0;
    QTest::newRow("ALIGN=LEFT") << QByteArray("ALIGN=LEFT") << plain << 1;
    QTest::newRow("ALIGN=CENTER") << QByteArray("ALIGN=CENTER") << plain << 2;
    QTest::newRow("ALIGN=RIGHT") << QByteArray("ALIGN=RIGHT") << plain << 3;
    QTest::newRow("NL") << QByteArray("NL") << Calls{"PrintLine ", "Print "} << 0;
    QTest::newRow("FFEED") << QByteArray("FFEED")
                           << Calls{"Print ", "NewPage", "PrintLine ", "Print "} << 0;
    QTest::newRow("PAGEN") << QByteArray("PAGEN") << Calls{"Print ", "PrintNumber 1", "Print "}
                           << 0;
    for (const char* unlisted : {"fbold", "FBOLD ", " FBOLD", "FSIZE=11", "FONT=arial",
                                 "ALIGN=Center", "nl", "ffeed", "X"}) {
        QTest::newRow(unlisted) << QByteArray(unlisted) << plain << 0;
    }
}

void TestPrintEngine::eachTagCallsTheSurface() {
    QFETCH(QByteArray, tag);
    QFETCH(Calls, expected);
    QFETCH(int, alignMode);
    PrintRig rig;
    QVERIFY(rig.print("<" + tag.toStdString() + ">"));
    QCOMPARE(rig.middleCalls(), expected);
    QCOMPARE(rig.engine.AlignMode(), alignMode);
    QVERIFY(rig.handheld.writes.empty());
}

void TestPrintEngine::jobStartAndEnd() {
    PrintRig rig;
    rig.surface.SetFontBold(true); // as a failed job could have left it
    rig.surface.calls.clear();
    QVERIFY(rig.print(""));
    QCOMPARE(rig.surface.calls,
             (Calls{"SetOrientation 1", "SetFontName Courier New", "SetFontSize 10",
                    "SetCurrentX 0", "SetCurrentY 0", "Print ", "EndDoc", "SetFontBold 0",
                    "SetFontUnderline 0", "SetFontItalic 0"}));
    // Bold was not reset at job start: the empty run was printed in bold.
    QVERIFY(rig.surface.drawn[0].bold);
}

void TestPrintEngine::failurePathKeepsTheLeftover() {
    PrintRig rig;
    rig.surface.failOn = "SetOrientation";
    QVERIFY(rig.engine.Redirect("<LMW_P>lost</LMW_P><LMW_P>kept"));
    QVERIFY(rig.surface.drawn.empty());
    QCOMPARE(rig.engine.PrintBuffer(), std::string("<LMW_P>kept"));
    QCOMPARE(rig.lamps.calls.size(), std::size_t(1));
    QCOMPARE(rig.lamps.calls[0].code, std::string("PRTON"));
    QVERIFY(rig.handheld.writes.empty()); // no SRESP: no reply
    QVERIFY(rig.engine.Redirect("</LMW_P>"));
    QCOMPARE(rig.inkTexts(), std::vector<std::string>{"kept"});
}

void TestPrintEngine::failureLeavesStylesAndSkipsTheRest() {
    PrintRig rig;
    rig.surface.failOn = "PrintLine";
    rig.surface.failSkip = 1; // the second line fails
    QVERIFY(rig.print("<FBOLD><FUNDER>one<NL>two<NL>three<FITALIC>"));
    QCOMPARE(rig.inkTexts(), std::vector<std::string>{"one"});
    const Calls& calls = rig.surface.calls;
    QCOMPARE(std::count(calls.begin(), calls.end(), std::string("EndDoc")), 0L);
    QCOMPARE(std::count(calls.begin(), calls.end(), std::string("SetFontBold 0")), 0L);
    QVERIFY(rig.surface.bold);
    QVERIFY(rig.surface.underline);
    // The next job starts with the styles the failed one had set.
    QVERIFY(rig.print("four"));
    QCOMPARE(rig.inkTexts().back(), std::string("four"));
    QVERIFY(rig.surface.drawnWithInk().back()->bold);
    QVERIFY(rig.surface.drawnWithInk().back()->underline);
    QVERIFY(!rig.surface.bold); // reset by the good job's end
}

void TestPrintEngine::statusReplyOnAWorkingPrinter() {
    {
        PrintRig rig;
        QVERIFY(rig.print("<SRESP>"));
        QCOMPARE(rig.handheld.writes, Calls{kReply12});
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), kReply12);
        // Written first, then shown; not counted; no lamp but the printer lamp.
        QCOMPARE(rig.log.events, (Calls{"write " + kReply12, "txtReceive " + kReply12}));
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(0));
        QCOMPARE(rig.lamps.calls.size(), std::size_t(1));
        // An empty job ran first.
        QVERIFY(rig.inkTexts().empty());
        QCOMPARE(rig.surface.documentsEnded, 1);
    }
    {
        // SRESP in the middle, twice: everything is printed, then one reply.
        PrintRig rig;
        QVERIFY(rig.print("ab<SRESP>cd<NL><SRESP>ef"));
        QCOMPARE(rig.inkTexts(), (Calls{"ab", "cd", "ef"}));
        QCOMPARE(rig.handheld.writes.size(), std::size_t(1));
        const Calls& calls = rig.surface.calls;
        const auto endDoc = std::find(calls.begin(), calls.end(), "EndDoc");
        const auto height = std::find(calls.begin(), calls.end(), "PageHeight");
        const auto resetBold = std::find(calls.begin(), calls.end(), "SetFontBold 0");
        QVERIFY(endDoc < height);
        QVERIFY(height < resetBold);
        QCOMPARE(rig.handheld.writes[0],
                 std::string("<LMW_RSP>STA=DEFINED~PRINT_HW=12,12~FONT_HW=200,100~LEN=24~"
                             "NAME=Fixed Printer</LMW_RSP>"));
    }
}

void TestPrintEngine::statusReplyFields_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("measured in the last font")
        << QByteArray("<FSIZE=24><SRESP>") << 1200 << 2400 << QByteArray("P")
        << QByteArray("<LMW_RSP>STA=DEFINED~PRINT_HW=5,5~FONT_HW=480,240~LEN=17~NAME=P</LMW_RSP>");
    QTest::newRow("whole part of the quotient")
        << QByteArray("<SRESP>") << 1299 << 13340 << QByteArray("P")
        << QByteArray("<LMW_RSP>STA=DEFINED~PRINT_HW=66,12~FONT_HW=200,100~LEN=7~NAME=P</LMW_RSP>");
    QTest::newRow("empty name") << QByteArray("<SRESP>") << 1200 << 2400 << QByteArray("")
                                << QByteArray("<LMW_RSP>STA=DEFINED~PRINT_HW=12,12~FONT_HW=200,100"
                                              "~LEN=7~NAME=NOT_DEFINED</LMW_RSP>");
    QTest::newRow("name sent unchanged")
        << QByteArray("<SRESP>") << 1200 << 2400 << QByteArray("a~b<c>")
        << QByteArray("<LMW_RSP>STA=DEFINED~PRINT_HW=12,12~FONT_HW=200,100~LEN=7~NAME=a~b<c>"
                      "</LMW_RSP>");
    QTest::newRow("no page size")
        << QByteArray("<SRESP>") << 0 << 0 << QByteArray("P")
        << QByteArray("<LMW_RSP>STA=DEFINED~PRINT_HW=0,0~FONT_HW=200,100~LEN=7~NAME=P</LMW_RSP>");
    QTest::newRow("LEN counts the body's characters")
        << QByteArray("x<SRESP>\xff<NL>") << 1200 << 2400 << QByteArray("P")
        << QByteArray(
               "<LMW_RSP>STA=DEFINED~PRINT_HW=12,12~FONT_HW=200,100~LEN=13~NAME=P</LMW_RSP>");
}

void TestPrintEngine::statusReplyFields() {
    QFETCH(QByteArray, body);
    QFETCH(int, pageWidth);
    QFETCH(int, pageHeight);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, reply);
    PrintRig rig;
    rig.surface.pageWidth = pageWidth;
    rig.surface.pageHeight = pageHeight;
    rig.surface.deviceName = name.toStdString();
    QVERIFY(rig.print(body.toStdString()));
    QCOMPARE(rig.handheld.writes, Calls{reply.toStdString()});
}

void TestPrintEngine::errorReplies() {
    const std::string noPrinter = "<LMW_RSP>STA=ERROR(482)~PRINT_HW=0,0~FONT_HW=0,0~LEN=7~"
                                  "NAME=NOT_DEFINED</LMW_RSP>";
    {
        // No printer: the first operation fails; shown first, then written.
        PrintRig rig;
        rig.surface.failOn = "SetOrientation";
        QVERIFY(rig.print("<SRESP>"));
        QCOMPARE(rig.log.events, (Calls{"txtReceive " + noPrinter, "write " + noPrinter}));
        QVERIFY(rig.surface.drawn.empty());
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), std::uint64_t(0));
    }
    {
        // SRESP not processed yet, but in the completing chunk: a reply.
        PrintRig rig;
        rig.surface.failOn = "Print";
        rig.surface.failCode = 77;
        QVERIFY(rig.print("text<SRESP>"));
        QCOMPARE(rig.handheld.writes,
                 Calls{"<LMW_RSP>STA=ERROR(77)~PRINT_HW=0,0~FONT_HW=0,0~LEN=11~"
                       "NAME=NOT_DEFINED</LMW_RSP>"});
    }
    {
        // SRESP in an earlier chunk of the request, not processed yet: no reply.
        PrintRig rig;
        rig.surface.failOn = "Print";
        QVERIFY(!rig.engine.Redirect("<LMW_P>text<SRESP>"));
        QVERIFY(rig.engine.Redirect("more</LMW_P>"));
        QVERIFY(rig.handheld.writes.empty());
        QVERIFY(rig.log.events.empty());
    }
    {
        // A failure while the fields are computed keeps those computed before it.
        PrintRig rig;
        rig.surface.failOn = "DeviceName";
        rig.surface.failCode = 999;
        QVERIFY(rig.print("<SRESP>"));
        QCOMPARE(rig.handheld.writes,
                 Calls{"<LMW_RSP>STA=ERROR(999)~PRINT_HW=12,12~FONT_HW=200,100~LEN=7~"
                       "NAME=NOT_DEFINED</LMW_RSP>"});
    }
    {
        // A text height of 0 cannot divide the page height.
        PrintRig rig;
        rig.surface.lineHeightPerPoint = 0;
        QVERIFY(rig.print("<SRESP>"));
        QCOMPARE(rig.handheld.writes, Calls{"<LMW_RSP>STA=ERROR(11)~PRINT_HW=0,0~FONT_HW=0,0~LEN=7~"
                                            "NAME=NOT_DEFINED</LMW_RSP>"});
    }
    {
        // A failure after the reply went out (in the final style reset): still one reply.
        PrintRig rig;
        rig.surface.failOn = "SetFontBold";
        QVERIFY(rig.print("<SRESP>"));
        QCOMPARE(rig.handheld.writes, Calls{kReply12});
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), kReply12);
    }
}

void TestPrintEngine::replyWriteFailureDoesNotEscape() {
    {
        PrintRig rig;
        rig.handheld.forceOpen(false); // writes fail with 8018
        QVERIFY(rig.print("<SRESP>a"));
        QVERIFY(rig.handheld.writes.empty());
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive), std::string());
        // The job ended normally.
        QCOMPARE(rig.surface.documentsEnded, 1);
        QVERIFY(!rig.surface.bold);
    }
    {
        PrintRig rig;
        rig.handheld.forceOpen(false);
        rig.surface.failOn = "SetOrientation";
        QVERIFY(rig.engine.Redirect("<LMW_P><SRESP></LMW_P><LMW_P>tail"));
        QCOMPARE(rig.traffic.PaneText(Pane::txtReceive).substr(0, 19),
                 std::string("<LMW_RSP>STA=ERROR("));
        QCOMPARE(rig.engine.PrintBuffer(), std::string("<LMW_P>tail"));
    }
}

void TestPrintEngine::formatsBothVariants() {
    StatusFields fields;
    fields.LEN = 0;
    QCOMPARE(FormatStatusReply(fields, std::nullopt),
             std::string("<LMW_RSP>STA=DEFINED~PRINT_HW=0,0~FONT_HW=0,0~LEN=0~NAME=NOT_DEFINED"
                         "</LMW_RSP>"));
    fields = {"66", "80", "240", "120", 1234, "Laser"};
    QCOMPARE(FormatStatusReply(fields, std::nullopt),
             std::string("<LMW_RSP>STA=DEFINED~PRINT_HW=66,80~FONT_HW=240,120~LEN=1234~"
                         "NAME=Laser</LMW_RSP>"));
    QCOMPARE(FormatStatusReply(fields, 482),
             std::string("<LMW_RSP>STA=ERROR(482)~PRINT_HW=66,80~FONT_HW=240,120~LEN=1234~"
                         "NAME=Laser</LMW_RSP>"));
}

QTEST_APPLESS_MAIN(TestPrintEngine)
#include "tst_printengine.moc"
