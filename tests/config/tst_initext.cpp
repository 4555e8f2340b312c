// INI text read and edited in memory (the file itself: tests/platform/tst_io.cpp).
#include "config/initext.h"

#include <QTest>

#include <tuple>

using namespace loomway;

namespace {
std::string Written(std::string_view text, const char* section, const char* key,
                    const char* value) {
    return WriteIniValue(text, section, key, value).value_or("(refused)");
}
} // namespace

class TestIniText : public QObject {
    Q_OBJECT
private slots:
    // Sections and keys in any case, blanks around, the first key wins,
    // comments ignored, no line break at the end.
    void reading() {
        const std::string text = "; by hand\r\n[source]\r\n  PORT  =   3   "
                                 "\r\nport=4\r\n[COMMON]\r\nspeed\t=\t9600\t\r\n"
                                 "; Speed=1200\r\n[Source]\r\nExtra=later\r\n[ Spaced ]\r\nKey = "
                                 "a = b\r\n[Last]\r\nNoBreak=end";
        for (auto [section, key, value] : {std::tuple{"Source", "Port", "3"},
                                           {"Source", "Extra", "later"},
                                           {"Common", "Speed", "9600"},
                                           {"Spaced", "KEY", "a = b"},
                                           {"last", "nobreak", "end"},
                                           {"Common", "; Speed", "(none)"},
                                           {"Last", "Port", "(none)"}}) {
            QCOMPARE(ReadIniValue(text, section, key).value_or("(none)"), std::string(value));
        }
    }

    // New keys go after their section's last, new sections at the end, in
    // the text's own line endings; names it could not give back are refused.
    void writing() {
        std::string text = "; mine\r\n\r\n[Source]\r\nPort = "
                           "1\r\nComment=keep\r\n\r\n[Unknown]\r\nW=1\r\n[Common]\r\nSpeed=300";
        const std::string original = text;
        text = Written(text, "SOURCE", "port", "5");
        text = Written(text, "Source", "Extra", "x\xe9\xff");
        text = Written(text, "Common", "Speed", "115200");
        text = Written(text, "Common", "Added", "");
        text = Written(text, "Display", "XLoc", "Title\r\n[Source]\nPort=7\r");
        QCOMPARE(text, "; mine\r\n\r\n[Source]\r\nPort = 5\r\nComment=keep\r\nExtra=x\xe9\xff\r\n"
                       "\r\n[Unknown]\r\nW=1\r\n[Common]\r\nSpeed=115200\r\nAdded=\r\n\r\n"
                       "[Display]\r\nXLoc=Title[Source]Port=7\r\n");
        QCOMPARE(Written(Written("[S]\r", "S", "K", "v"), "s", "k", " w "), "[S]\r\nK= w \n");
        QCOMPARE(Written("[A]\r\nK=1\r", "B", "K", "2"), "[A]\r\nK=1\r\n\r\n[B]\r\nK=2\r\n");
        QCOMPARE(Written("", "\xc9t\xe9", "K", "v"), "[\xc9t\xe9]\nK=v\n");
        QCOMPARE(Written("[\xe9T\xc9]\nk=1\n", "\xc9t\xe9", "K", "2"), "[\xe9T\xc9]\nk=2\n");
        for (const char* key : {"", " k", "k=", "[k", ";k", "#k"}) {
            QVERIFY2(!WriteIniValue(original, "S", key, "v"), key);
        }
        for (const char* section : {"S ", "S]"}) {
            QVERIFY2(!WriteIniValue(original, section, "k", "v"), section);
        }
    }
};

QTEST_APPLESS_MAIN(TestIniText)
#include "tst_initext.moc"
