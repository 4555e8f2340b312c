// Word wrap, alignment, line ends, page feeds and page numbers on a surface
// where every character is 100 twips wide at 10 points, a line 200 twips
// high, the printable area 1000 by 2000 twips (10 characters, 10 lines).

#include "tests/services/tst_printrig.h"

#include <QStringList>
#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

// One drawing as "page x y 'text'" with "|" when it ended the line.
QStringList drawings(const FixedMetricsSurface& surface) {
    QStringList out;
    for (const auto& d : surface.drawn) {
        out << QStringLiteral("p%1 %2 %3 '%4'%5")
                   .arg(d.page)
                   .arg(static_cast<double>(d.x))
                   .arg(static_cast<double>(d.y))
                   .arg(QString::fromLatin1(d.text.data(), static_cast<qsizetype>(d.text.size())))
                   .arg(d.endedLine ? QStringLiteral("|") : QString());
    }
    return out;
}

} // namespace

class TestPrintLayout : public QObject {
    Q_OBJECT
private slots:
    void laysOutRuns_data();
    void laysOutRuns();
    void lastSpaceBeyondThePendingTextKeepsItOnTheLine();
    void centerThenStyleTagMovesTheWord();
    void pageNumberCountsFeedsAndAutomaticBreaks();
    void styleTagsChangeTheFontOfWhatFollows();
    void alignModeSurvivesIntoTheNextJob();
    void nothingIsQuadraticInALongRunWithoutSpaces();
};

void TestPrintLayout::laysOutRuns_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty body: one empty run") << QByteArray("") << QStringList{"p1 0 0 ''"};
    QTest::newRow("run exactly as wide as the space left fits")
        << QByteArray("0123456789<NL>") << QStringList{"p1 0 0 '0123456789'|", "p1 0 200 ''"};
    QTest::newRow("the overflowing character is still taken")
        << QByteArray("0123456789A<NL>") << QStringList{"p1 0 0 '0123456789A'|", "p1 0 200 ''"};
    QTest::newRow("break at the character after the overflowing one, no space yet")
        << QByteArray("0123456789AB<NL>")
        << QStringList{"p1 0 0 ''|", "p1 0 200 '0123456789AB'", "p1 1200 200 ''|", "p1 0 400 ''"};
    QTest::newRow("break after the last space")
        << QByteArray("aaaa bbbbbbb<NL>")
        << QStringList{"p1 0 0 'aaaa'|", "p1 0 200 'bbbbbbb'", "p1 700 200 ''|", "p1 0 400 ''"};
    QTest::newRow("break on a space: the next line starts with it")
        << QByteArray("aaaa bbbbbb cc<NL>")
        << QStringList{"p1 0 0 'aaaa bbbbbb'|", "p1 0 200 ' '", "p1 100 200 'cc'|", "p1 0 400 ''"};
    QTest::newRow("lastSpace kept across breaks")
        << QByteArray("aa bbbbbbbbbbbb<NL>")
        << QStringList{"p1 0 0 'aa'|", "p1 0 200 'bbbbbbbbb'", "p1 900 200 'bb'|",
                       "p1 0 400 'b'", "p1 100 400 ''|",       "p1 0 600 ''"};
    QTest::newRow("run that ends with its overflowing character overflows")
        << QByteArray("abcdefghijk") << QStringList{"p1 0 0 'abcdefghijk'"};
    QTest::newRow("two NL give an empty line")
        << QByteArray("a<NL><NL>b") << QStringList{"p1 0 0 'a'|", "p1 0 200 ''|", "p1 0 400 'b'"};
    QTest::newRow("empty tag in the middle ends the document")
        << QByteArray("one<>two") << QStringList{"p1 0 0 'one'"};
    QTest::newRow("empty tag at the end is text")
        << QByteArray("one<>") << QStringList{"p1 0 0 'one<>'"};
    QTest::newRow("unlisted and lower-case tags print nothing")
        << QByteArray("ab<fbold>cd<FBOLD >ef<FSIZE=11>g")
        << QStringList{"p1 0 0 'ab'", "p1 200 0 'cd'", "p1 400 0 'ef'", "p1 600 0 'g'"};
    QTest::newRow("lone < with a > later swallows the text between")
        << QByteArray("a < b > c") << QStringList{"p1 0 0 'a '", "p1 200 0 ' c'"};
    QTest::newRow("lone < at the end is text") << QByteArray("a<b") << QStringList{"p1 0 0 'a<b'"};
    QTest::newRow("center aligns the run in front of NL")
        << QByteArray("<ALIGN=CENTER>abcd<NL>x<NL>")
        << QStringList{"p1 0 0 ''", "p1 300 0 'abcd'|", "p1 0 200 'x'|", "p1 0 400 ''"};
    QTest::newRow("a second centered run is centered to the right of the first")
        << QByteArray("<ALIGN=CENTER>ab<FBOLD>cd<NL>")
        << QStringList{"p1 0 0 ''", "p1 400 0 'ab'", "p1 700 0 'cd'|", "p1 0 200 ''"};
    QTest::newRow("right") << QByteArray("<ALIGN=RIGHT>abc<NL>")
                           << QStringList{"p1 0 0 ''", "p1 700 0 'abc'|", "p1 0 200 ''"};
    QTest::newRow("left-aligned runs of one line overprint")
        << QByteArray("abc<ALIGN=LEFT>de<FBOLD>fg<NL>")
        << QStringList{"p1 0 0 'abc'", "p1 0 0 'de'", "p1 0 0 'fg'|", "p1 0 200 ''"};
    QTest::newRow("the last run of a document is never aligned")
        << QByteArray("<ALIGN=RIGHT>abc") << QStringList{"p1 0 0 ''", "p1 0 0 'abc'"};
    QTest::newRow("a run that breaks is aligned before NL only after its last break")
        << QByteArray("<ALIGN=RIGHT>aaaa bbbbbbb c<NL>")
        << QStringList{"p1 0 0 ''", "p1 0 0 'aaaa'|", "p1 0 200 'bbbbbbb'", "p1 800 200 ' c'|",
                       "p1 0 400 ''"};
    QTest::newRow("a run that breaks is not aligned before other tags")
        << QByteArray("<ALIGN=RIGHT>aaaa bbbbbbb c<FBOLD>")
        << QStringList{"p1 0 0 ''", "p1 0 0 'aaaa'|", "p1 0 200 'bbbbbbb'", "p1 700 200 ' c'",
                       "p1 900 200 ''"};
    QTest::newRow("FFEED: new page with an empty first line")
        << QByteArray("a<FFEED>b") << QStringList{"p1 0 0 'a'", "p2 0 0 ''|", "p2 0 200 'b'"};
    QTest::newRow("FFEED at the end leaves a page with only the empty line")
        << QByteArray("a<FFEED>") << QStringList{"p1 0 0 'a'", "p2 0 0 ''|", "p2 0 200 ''"};
    QTest::newRow("FFEED ends the alignment")
        << QByteArray("<ALIGN=RIGHT><FFEED>ab<FBOLD>")
        << QStringList{"p1 0 0 ''", "p1 1000 0 ''", "p2 0 0 ''|", "p2 0 200 'ab'", "p2 200 200 ''"};
    QTest::newRow("Page Number <PAGEN>")
        << QByteArray("Page <PAGEN>")
        << QStringList{"p1 0 0 'Page '", "p1 500 0 ' 1 '", "p1 800 0 ''"};
    QTest::newRow("a line past the bottom goes to a new page")
        << QByteArray("1<NL>2<NL>3<NL>4<NL>5<NL>6<NL>7<NL>8<NL>9<NL>10<NL>11")
        << QStringList{"p1 0 0 '1'|",    "p1 0 200 '2'|",   "p1 0 400 '3'|",  "p1 0 600 '4'|",
                       "p1 0 800 '5'|",  "p1 0 1000 '6'|",  "p1 0 1200 '7'|", "p1 0 1400 '8'|",
                       "p1 0 1600 '9'|", "p1 0 1800 '10'|", "p2 0 0 '11'"};
}

void TestPrintLayout::laysOutRuns() {
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    PrintRig rig;
    QVERIFY(rig.print(body.toStdString()));
    QCOMPARE(drawings(rig.surface), expected);
    QCOMPARE(rig.surface.documentsEnded, 1);
}

void TestPrintLayout::lastSpaceBeyondThePendingTextKeepsItOnTheLine() {
    // "w" is three times as wide as the other characters: after the first
    // break lastSpace (5) exceeds the one pending character.
    PrintRig rig;
    rig.surface.widths['w'] = 300;
    QVERIFY(rig.print("aaaaa wwwww<NL>"));
    QCOMPARE(drawings(rig.surface),
             (QStringList{"p1 0 0 'aaaaa'|", "p1 0 200 'www'", "p1 900 200 'w'|", "p1 0 400 'w'",
                          "p1 300 400 ''|", "p1 0 600 ''"}));
}

void TestPrintLayout::centerThenStyleTagMovesTheWord() {
    // The empty run in front of FBOLD moves x to W/2; the word then lands at
    // (W/2 + W - w)/2 = (500 + 1000 - 400)/2 = 550.
    PrintRig rig;
    QVERIFY(rig.print("<ALIGN=CENTER><FBOLD>abcd<NL>"));
    QCOMPARE(drawings(rig.surface),
             (QStringList{"p1 0 0 ''", "p1 500 0 ''", "p1 550 0 'abcd'|", "p1 0 200 ''"}));
    QVERIFY(rig.surface.drawn[2].bold);
    QVERIFY(!rig.surface.drawn[1].bold);
    QCOMPARE(rig.engine.AlignMode(), 0);
}

void TestPrintLayout::pageNumberCountsFeedsAndAutomaticBreaks() {
    {
        // The run ends with a space and the number adds one more: two spaces in front of "1".
        PrintRig rig;
        rig.surface.printableWidth = 5000;
        QVERIFY(rig.print("Page Number <PAGEN><NL>"));
        std::string line;
        for (const auto& d : rig.surface.drawn) {
            if (d.page == 1 && d.y == 0) {
                line += d.text;
            }
        }
        QCOMPARE(QByteArray::fromStdString(line), QByteArray("Page Number  1 "));
    }
    {
        PrintRig rig;
        QVERIFY(rig.print("<PAGEN><FFEED><PAGEN><FFEED><PAGEN>"));
        QCOMPARE(rig.inkTexts(), (std::vector<std::string>{" 1 ", " 2 ", " 3 "}));
        QCOMPARE(rig.surface.drawn.back().page, 3);
    }
    {
        // Ten lines fill page 1; the number printed next lands on page 2 and says so.
        PrintRig rig;
        std::string body;
        for (int i = 0; i < 10; ++i) {
            body += "x<NL>";
        }
        QVERIFY(rig.print(body + "<PAGEN>"));
        const auto ink = rig.surface.drawnWithInk();
        QCOMPARE(ink.back()->text, std::string(" 2 "));
        QCOMPARE(ink.back()->page, 2);
        QCOMPARE(ink.back()->y, 0.0f);
    }
}

void TestPrintLayout::styleTagsChangeTheFontOfWhatFollows() {
    PrintRig rig;
    rig.surface.printableWidth = 100000;
    QVERIFY(rig.print("a<FBOLD>b<FITALIC>c<FUNDER>d<FNORMAL>e<FONT=ARIAL><FSIZE=24>f"
                      "<FONT=TNR>g<FDEFAULT>h<FONT=COURNEW><FSIZE=8>i"));
    const auto ink = rig.surface.drawnWithInk();
    QCOMPARE(ink.size(), std::size_t(9));
    struct Expect {
        const char* text;
        bool bold, italic, underline;
        const char* face;
        float size;
    };
    const Expect expected[] = {
        {"a", false, false, false, "Courier New", 10},
        {"b", true, false, false, "Courier New", 10},
        {"c", true, true, false, "Courier New", 10},
        {"d", true, true, true, "Courier New", 10},
        {"e", false, false, false, "Courier New", 10},
        {"f", false, false, false, "Arial", 24},
        {"g", false, false, false, "Times New Roman", 24},
        {"h", false, false, false, "Courier New", 10},
        {"i", false, false, false, "Courier New", 8},
    };
    for (std::size_t i = 0; i < ink.size(); ++i) {
        QCOMPARE(ink[i]->text, std::string(expected[i].text));
        QCOMPARE(ink[i]->bold, expected[i].bold);
        QCOMPARE(ink[i]->italic, expected[i].italic);
        QCOMPARE(ink[i]->underline, expected[i].underline);
        QCOMPARE(ink[i]->face, std::string(expected[i].face));
        QCOMPARE(ink[i]->size, expected[i].size);
    }
    // Orientation tags take effect before the run in front of them.
    PrintRig orient;
    QVERIFY(orient.print("a<PORIENT_L>b<PORIENT_P>c"));
    const auto o = orient.surface.drawnWithInk();
    QCOMPARE(o[0]->orientation, 2);
    QCOMPARE(o[1]->orientation, 1);
    QCOMPARE(o[2]->orientation, 1);
}

void TestPrintLayout::alignModeSurvivesIntoTheNextJob() {
    PrintRig rig;
    QVERIFY(rig.print("<ALIGN=RIGHT>abc"));
    QCOMPARE(rig.engine.AlignMode(), 3);
    rig.surface.drawn.clear();
    QVERIFY(rig.print("d<FBOLD>f<NL>hi<NL>"));
    QCOMPARE(drawings(rig.surface),
             (QStringList{"p1 900 0 'd'", "p1 900 0 'f'|", "p1 0 200 'hi'|", "p1 0 400 ''"}));
    QCOMPARE(rig.engine.AlignMode(), 0);

    // A job start does not reset it either; only ALIGN=, NL and FFEED do.
    QVERIFY(rig.print("<ALIGN=CENTER>"));
    QCOMPARE(rig.engine.AlignMode(), 2);
    QVERIFY(rig.print("<FFEED>"));
    QCOMPARE(rig.engine.AlignMode(), 0);
}

void TestPrintLayout::nothingIsQuadraticInALongRunWithoutSpaces() {
    // Every character of a long run without a space is measured once, not
    // again with the whole pending text, and every one reaches the paper.
    PrintRig rig;
    rig.surface.record = false;
    const std::size_t length = 200000;
    QVERIFY(rig.print(std::string(length, 'x') + "<NL>"));
    QCOMPARE(rig.surface.drawnChars, length);
    QVERIFY2(rig.surface.measuredChars <= 2 * length,
             qPrintable(QString::number(rig.surface.measuredChars)));
    // Each break carries the whole pending text: ten characters a line.
    QCOMPARE(rig.surface.documentsEnded, 1);
}

QTEST_APPLESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
