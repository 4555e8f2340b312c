// Tags, word wrap, alignment, line ends, page feeds and page numbers on a
// surface where a character is 100 twips wide at 10 points, a line 200 twips
// high, the printable area 1000 by 2000 twips (10 characters, 10 lines).
#include "services/splittag.h"
#include "tests/services/printrig.h"
#include "tests/support/testsupport.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

class TestPrintLayout : public QObject {
    Q_OBJECT
private slots:
    void splitTag_data() {
        addRows({"text", "split"}, {{"none", "abc", "abc||"},
                                    {"middle", "ab<NL>cd", "ab|NL|cd"},
                                    {"empty tag", "a<>b", "a||b"},
                                    {"empty tag last", "ab<>", "ab<>||"},
                                    {"< near the end", "ab<c", "ab<c||"},
                                    {"no > behind", "a<bc d", "a<bc d||"},
                                    {"> before <", "a>b<c>d", "a>b|c|d"},
                                    {"nested", "<<a>>", "|<a|>"},
                                    {"first only, blanks", "w < x ><B>", "w | x |<B>"}});
    }
    void splitTag() {
        QFETCH(QString, text);
        QFETCH(QString, split);
        const std::string input = text.toStdString();
        const SplitTagResult r = SplitTag(input);
        QCOMPARE(QString::fromStdString(std::string(r.before) + "|" + std::string(r.tagName) + "|" +
                                        std::string(r.rest)),
                 split);
    }

    void layout_data() {
        addRows({"body", "drawn"},
                {{"empty", "", "p1 0 0 ''"},
                 {"exactly full", "0123456789<NL>", "p1 0 0 '0123456789'|, p1 0 200 ''"},
                 {"overflowing character taken", "0123456789A", "p1 0 0 '0123456789A'"},
                 {"break with no space", "0123456789AB<NL>",
                  "p1 0 0 ''|, p1 0 200 '0123456789AB', p1 1200 200 ''|, p1 0 400 ''"},
                 {"break after the last space", "aaaa bbbbbb cc<NL>",
                  "p1 0 0 'aaaa bbbbbb'|, p1 0 200 ' ', p1 100 200 'cc'|, p1 0 400 ''"},
                 {"empty line", "a<NL><NL>b", "p1 0 0 'a'|, p1 0 200 ''|, p1 0 400 'b'"},
                 {"empty tag ends", "one<>two", "p1 0 0 'one'"},
                 {"unlisted tags", "ab<fbold>cd<FSIZE=11>e",
                  "p1 0 0 'ab', p1 200 0 'cd', p1 400 0 'e'"},
                 {"lone <", "a < b > c<d", "p1 0 0 'a ', p1 200 0 ' c<d'"},
                 {"center", "<ALIGN=CENTER>abcd<NL>x<NL>",
                  "p1 0 0 '', p1 300 0 'abcd'|, p1 0 200 'x'|, p1 0 400 ''"},
                 {"center twice", "<ALIGN=CENTER>ab<FBOLD>cd<NL>",
                  "p1 0 0 '', p1 400 0 'ab', p1 700 0 'cd'|, p1 0 200 ''"},
                 {"right", "<ALIGN=RIGHT>abc<NL>", "p1 0 0 '', p1 700 0 'abc'|, p1 0 200 ''"},
                 {"left overprints", "abc<ALIGN=LEFT>de<NL>",
                  "p1 0 0 'abc', p1 0 0 'de'|, p1 0 200 ''"},
                 {"last run unaligned", "<ALIGN=RIGHT>abc", "p1 0 0 '', p1 0 0 'abc'"},
                 {"broken run aligned", "<ALIGN=RIGHT>aaaa bbbbbbb c<NL>",
                  "p1 0 0 '', p1 0 0 'aaaa'|, p1 0 200 'bbbbbbb', p1 800 200 ' c'|, p1 0 400 ''"},
                 {"page feed", "<ALIGN=RIGHT>a<FFEED>b<FBOLD>",
                  "p1 0 0 '', p1 900 0 'a', p2 0 0 ''|, p2 0 200 'b', p2 100 200 ''"},
                 {"page number", "Page <PAGEN>", "p1 0 0 'Page ', p1 500 0 ' 1 ', p1 800 0 ''"},
                 {"bottom", "1<NL>2<NL>3<NL>4<NL>5<NL>6<NL>7<NL>8<NL>9<NL>10<NL><PAGEN>",
                  "p1 0 0 '1'|, p1 0 200 '2'|, p1 0 400 '3'|, p1 0 600 '4'|, p1 0 800 '5'|, "
                  "p1 0 1000 '6'|, p1 0 1200 '7'|, p1 0 1400 '8'|, p1 0 1600 '9'|, "
                  "p1 0 1800 '10'|, p1 0 2000 '', p2 0 0 ' 2 ', p2 300 0 ''"}});
    }
    void layout() {
        QFETCH(QString, body);
        QFETCH(QString, drawn);
        PrintRig rig;
        QVERIFY(rig.print(body.toStdString()));
        QCOMPARE(rig.drawings(), drawn);
        QCOMPARE(rig.surface.documentsEnded, 1);
    }

    // Each style tag changes the font of what follows; orientation tags take
    // effect before the run in front of them.
    void styles() {
        PrintRig rig;
        rig.surface.printableWidth = 100000;
        QVERIFY(rig.print("a<FBOLD>b<FITALIC>c<FUNDER>d<FNORMAL>e<FONT=ARIAL><FSIZE=24>f"
                          "<FONT=TNR><PORIENT_L>g<FDEFAULT><PORIENT_P>h<FONT=COURNEW><FSIZE=8>i"));
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
                                   "g --- Times New Roman 24 2", "h --- Courier New 10 1",
                                   "i --- Courier New 8 1"}));
    }

    // The alignment outlives a job; only ALIGN=, NL and FFEED change it.
    void alignmentOutlivesTheJob() {
        PrintRig rig;
        QVERIFY(rig.print("<ALIGN=RIGHT>abc"));
        rig.surface.drawn.clear();
        QVERIFY(rig.print("d<FBOLD>f<NL>hi<FFEED>"));
        QCOMPARE(rig.drawings(), QString("p1 900 0 'd', p1 900 0 'f'|, p1 0 200 'hi', p2 0 0 ''|, "
                                         "p2 0 200 ''"));
    }

    // Each character of a long run without a space is measured about once.
    void longRunIsNotQuadratic() {
        PrintRig rig;
        rig.surface.record = false;
        QVERIFY(rig.print(std::string(200000, 'x') + "<NL>"));
        QCOMPARE(rig.surface.drawnChars, std::size_t(200000));
        QVERIFY(rig.surface.measuredChars <= 400000);
    }
};

QTEST_APPLESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
