// The print engine around the layout: requests over chunks, the lamp, each
// tag's effect on the surface, the failure paths and the printer status reply.
#include "tests/services/printrig.h"
#include "tests/support/testsupport.h"

#include <QTest>

#include <limits>

using namespace loomway;
using namespace loomway::test;

namespace {
QString Reply(const char* sta, const char* hw, const char* font, int len, const char* name) {
    return QString("<LMW_RSP>STA=%1~PRINT_HW=%2~FONT_HW=%3~LEN=%4~NAME=%5</LMW_RSP>")
        .arg(sta, hw, font)
        .arg(len)
        .arg(name);
}
const QString kReply = Reply("DEFINED", "12,12", "200,100", 7, "Fixed Printer");
} // namespace

class TestPrintEngine : public QObject {
    Q_OBJECT
private slots:
    void requestsOverChunks() {
        PrintRig rig;
        QVERIFY(!rig.engine.Redirect("noise <LM"));
        QVERIFY(!rig.engine.Redirect("W_P>Hel"));
        QVERIFY(rig.surface.calls.empty() && rig.lamps.calls.empty());
        QVERIFY(rig.engine.Redirect("lo</LMW_P><LMW_P>ne"));
        QCOMPARE(rig.engine.PrintBuffer(), std::string("<LMW_P>ne"));
        QVERIFY(rig.engine.Redirect("xt</LMW_P>"));
        QCOMPARE(rig.drawings(), QString("p1 0 0 'Hello', p1 0 0 'next'"));
        QCOMPARE(rig.lamps.calls.size(), std::size_t(2));
        QVERIFY(rig.lamps.calls[1].lamp == Lamp::IMGPRT && rig.lamps.calls[1].code == "PRTON");
        QVERIFY(rig.log.isEmpty()); // nothing is sent or shown
    }

    // The surface calls between job start and end for "<tag>" alone.
    void tags_data() {
        addRows({"tag", "calls"}, {{"PORIENT_P", "SetOrientation 1;Print "},
                                   {"PORIENT_L", "SetOrientation 2;Print "},
                                   {"FBOLD", "SetFontBold 1"},
                                   {"FITALIC", "SetFontItalic 1"},
                                   {"FUNDER", "SetFontUnderline 1"},
                                   {"FNORMAL", "SetFontBold 0;SetFontUnderline 0;SetFontItalic 0"},
                                   {"FDEFAULT", "SetFontBold 0;SetFontUnderline 0;SetFontItalic 0;"
                                                "SetFontName Courier New;SetFontSize 10"},
                                   {"FSIZE=8", "SetFontSize 8"},
                                   {"FSIZE=24", "SetFontSize 24"},
                                   {"FONT=ARIAL", "SetFontName Arial"},
                                   {"FONT=TNR", "SetFontName Times New Roman"},
                                   {"FONT=COURNEW", "SetFontName Courier New"},
                                   {"NL", "PrintLine "},
                                   {"FFEED", "NewPage;PrintLine "},
                                   {"PAGEN", "PrintNumber 1"},
                                   {"unlisted", ""},
                                   {"FSIZE=11", ""},
                                   {"fbold", ""}});
    }
    void tags() {
        QFETCH(QString, tag);
        QFETCH(QString, calls);
        PrintRig rig;
        QVERIFY(rig.print(("<" + tag + ">").toStdString()));
        QStringList middle;
        for (std::size_t i = 5; rig.surface.calls.at(i) != "EndDoc"; ++i) {
            middle << QString::fromStdString(rig.surface.calls[i]);
        }
        if (!tag.startsWith("PORIENT") && middle.first() == "Print ") {
            middle.removeFirst(); // the run in front of the tag
        }
        QCOMPARE(middle.join(";"), (calls.isEmpty() ? QString() : calls + ";") + "Print ");
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

    // A failing job ends at once: no end of document, styles left as they
    // were, the leftover kept for the next request.
    void failure() {
        PrintRig rig;
        rig.surface.failOn = "PrintLine";
        rig.surface.failSkip = 1;
        QVERIFY(rig.engine.Redirect("<LMW_P><FBOLD>one<NL>two<NL>three</LMW_P><LMW_P>kept"));
        QCOMPARE(rig.drawings(), QString("p1 0 0 '', p1 0 0 'one'|"));
        QCOMPARE(rig.surface.documentsEnded, 0);
        QVERIFY(rig.surface.bold && rig.log.isEmpty());
        rig.surface.failOn.clear();
        QVERIFY(rig.engine.Redirect("</LMW_P>"));
        QVERIFY(rig.surface.drawn.back().text == "kept" && rig.surface.drawn.back().bold);
    }

    // The reply to <SRESP>: written after the job, then shown, never counted.
    void statusReply_data() {
        const std::string
            ok = kReply.toStdString(),
            two = Reply("DEFINED", "12,12", "200,100", 24, "Fixed Printer").toStdString(),
            big = Reply("DEFINED", "5,5", "480,240", 17, "Fixed Printer").toStdString(),
            none = Reply("ERROR(482)", "0,0", "0,0", 7, "NOT_DEFINED").toStdString(),
            text = Reply("ERROR(482)", "0,0", "0,0", 11, "NOT_DEFINED").toStdString(),
            name = Reply("ERROR(482)", "12,12", "200,100", 7, "NOT_DEFINED").toStdString();
        addRows({"body", "failOn", "reply"},
                {{"plain", "<SRESP>", "", ok.c_str()},
                 {"twice, mid text", "ab<SRESP>cd<NL><SRESP>ef", "", two.c_str()},
                 {"last font", "<FSIZE=24><SRESP>", "", big.c_str()},
                 {"no printer", "<SRESP>", "SetOrientation", none.c_str()},
                 {"fails in the text", "text<SRESP>", "Print", text.c_str()},
                 {"fails at the name", "<SRESP>", "DeviceName", name.c_str()},
                 {"fails after the reply", "<SRESP>", "SetFontBold", ok.c_str()}});
    }
    void statusReply() {
        QFETCH(QString, body);
        QFETCH(QString, failOn);
        QFETCH(QString, reply);
        PrintRig rig;
        rig.surface.failOn = failOn.toStdString();
        QVERIFY(rig.print(body.toStdString()));
        const bool failed = reply.contains("ERROR");
        const QStringList expected = failed ? QStringList{"shown " + reply, "write " + reply}
                                            : QStringList{"write " + reply, "shown " + reply};
        QCOMPARE(rig.log, expected);
        QCOMPARE(rig.traffic.Count(Counter::BytesReceived), 0u);
    }

    // A job that fails before its end drops what it drew, whether the surface
    // or the engine's own arithmetic failed; a job that went through does not.
    void failedJobAbandonsItsDocument_data() {
        addRows({"failOn", "aborted"}, {{"surface fails mid-document", "NewPage", "1"},
                                        {"engine arithmetic fails", "", "1"},
                                        {"end of document fails", "EndDoc", "1"},
                                        {"job goes through", "", "0"}});
    }
    void failedJobAbandonsItsDocument() {
        QFETCH(QString, failOn);
        QFETCH(QString, aborted);
        PrintRig rig;
        rig.surface.failOn = failOn.toStdString();
        if (QString(QTest::currentDataTag()).startsWith("engine")) {
            rig.surface.printableWidth = std::numeric_limits<float>::infinity();
        }
        QVERIFY(rig.print("one<FFEED><ALIGN=CENTER>two<FBOLD>three"));
        QCOMPARE(rig.surface.aborted, aborted.toInt());
        QCOMPARE(rig.surface.documentsEnded, 1 - aborted.toInt());
    }

    // <SRESP> in an earlier chunk of a request that fails before it: no reply.
    void noReplyForAnUnreadRequestForAReply() {
        PrintRig rig;
        rig.surface.failOn = "Print";
        QVERIFY(!rig.engine.Redirect("<LMW_P>text<SRESP>"));
        QVERIFY(rig.engine.Redirect("more</LMW_P>"));
        QVERIFY(rig.log.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestPrintEngine)
#include "tst_printengine.moc"
