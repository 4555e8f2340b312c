#include "services/markuptag.h"
#include "services/splittag.h"

#include <QTest>

using namespace loomway;

class TestPrintSplitTag : public QObject {
    Q_OBJECT
private slots:
    void splitsAtTheFirstTag_data();
    void splitsAtTheFirstTag();
    void tagNamesAreComparedExactly_data();
    void tagNamesAreComparedExactly();
};

void TestPrintSplitTag::splitsAtTheFirstTag_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("rest");
    QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("one character")
        << QByteArray("a") << QByteArray("a") << QByteArray("") << QByteArray("");
    QTest::newRow("no angle bracket")
        << QByteArray("abc def") << QByteArray("abc def") << QByteArray("") << QByteArray("");
    QTest::newRow("tag in the middle")
        << QByteArray("ab<NL>cd") << QByteArray("ab") << QByteArray("NL") << QByteArray("cd");
    QTest::newRow("only a tag") << QByteArray("<NL>") << QByteArray("") << QByteArray("NL")
                                << QByteArray("");
    QTest::newRow("tag at the end")
        << QByteArray("x<FBOLD>") << QByteArray("x") << QByteArray("FBOLD") << QByteArray("");
    QTest::newRow("empty tag in the middle")
        << QByteArray("a<>b") << QByteArray("a") << QByteArray("") << QByteArray("b");
    QTest::newRow("empty tag as the last two characters")
        << QByteArray("ab<>") << QByteArray("ab<>") << QByteArray("") << QByteArray("");
    QTest::newRow("< last") << QByteArray("ab<") << QByteArray("ab<") << QByteArray("")
                            << QByteArray("");
    QTest::newRow("< second to last")
        << QByteArray("ab<c") << QByteArray("ab<c") << QByteArray("") << QByteArray("");
    QTest::newRow("< with no > behind")
        << QByteArray("a<bc d") << QByteArray("a<bc d") << QByteArray("") << QByteArray("");
    QTest::newRow("> in front of <")
        << QByteArray("a>b<c>d") << QByteArray("a>b") << QByteArray("c") << QByteArray("d");
    QTest::newRow("lone > only") << QByteArray("a>b") << QByteArray("a>b") << QByteArray("")
                                 << QByteArray("");
    QTest::newRow("nested <") << QByteArray("<<a>>") << QByteArray("") << QByteArray("<a")
                              << QByteArray(">");
    QTest::newRow("first tag only")
        << QByteArray("<A><B>") << QByteArray("") << QByteArray("A") << QByteArray("<B>");
    QTest::newRow("tag name with blanks")
        << QByteArray("w1 < x > w2") << QByteArray("w1 ") << QByteArray(" x ") << QByteArray(" w2");
}

void TestPrintSplitTag::splitsAtTheFirstTag() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, rest);
    const std::string input = text.toStdString();
    const SplitTagResult r = SplitTag(input);
    QCOMPARE(QByteArray::fromStdString(std::string(r.before)), before);
    QCOMPARE(QByteArray::fromStdString(std::string(r.tagName)), tag);
    QCOMPARE(QByteArray::fromStdString(std::string(r.rest)), rest);
}

void TestPrintSplitTag::tagNamesAreComparedExactly_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("tag");
    QTest::addColumn<float>("size");
    QTest::addColumn<QByteArray>("face");
    auto row = [](const char* name, MarkupTag tag, float size = 0, const char* face = "") {
        QTest::newRow(name) << QByteArray(name) << static_cast<int>(tag) << size
                            << QByteArray(face);
    };
    row("PORIENT_P", MarkupTag::PortraitOrientation);
    row("PORIENT_L", MarkupTag::LandscapeOrientation);
    row("FBOLD", MarkupTag::Bold);
    row("FITALIC", MarkupTag::Italic);
    row("FUNDER", MarkupTag::Underline);
    row("FNORMAL", MarkupTag::Normal);
    row("FDEFAULT", MarkupTag::Default);
    row("FSIZE=8", MarkupTag::Size, 8);
    row("FSIZE=10", MarkupTag::Size, 10);
    row("FSIZE=12", MarkupTag::Size, 12);
    row("FSIZE=14", MarkupTag::Size, 14);
    row("FSIZE=16", MarkupTag::Size, 16);
    row("FSIZE=18", MarkupTag::Size, 18);
    row("FSIZE=24", MarkupTag::Size, 24);
    row("FONT=ARIAL", MarkupTag::Face, 0, "Arial");
    row("FONT=TNR", MarkupTag::Face, 0, "Times New Roman");
    row("FONT=COURNEW", MarkupTag::Face, 0, "Courier New");
    row("ALIGN=LEFT", MarkupTag::AlignLeft);
    row("ALIGN=CENTER", MarkupTag::AlignCenter);
    row("ALIGN=RIGHT", MarkupTag::AlignRight);
    row("NL", MarkupTag::NewLine);
    row("FFEED", MarkupTag::FormFeed);
    row("PAGEN", MarkupTag::PageNumber);
    row("SRESP", MarkupTag::StatusRequest);
    for (const char* unlisted : {"", "fbold", "Fbold", "FBOLD ", " FBOLD", "FSIZE=11", "FSIZE=9",
                                 "FSIZE=08", "FSIZE= 8", "FONT=Arial", "FONT=TIMES", "ALIGN=center",
                                 "nl", "NL ", "SRESP ", "PAGEN=1", "LMW_P", "/LMW_P"}) {
        QTest::newRow(unlisted[0] ? unlisted : "(empty)")
            << QByteArray(unlisted) << static_cast<int>(MarkupTag::Unlisted) << 0.0f
            << QByteArray("");
    }
}

void TestPrintSplitTag::tagNamesAreComparedExactly() {
    QFETCH(QByteArray, name);
    QFETCH(int, tag);
    QFETCH(float, size);
    QFETCH(QByteArray, face);
    const MarkupTagInfo info = LookupTag(name.toStdString());
    QCOMPARE(static_cast<int>(info.tag), tag);
    QCOMPARE(info.size, size);
    QCOMPARE(QByteArray::fromStdString(std::string(info.face)), face);
}

QTEST_APPLESS_MAIN(TestPrintSplitTag)
#include "tst_printsplittag.moc"
