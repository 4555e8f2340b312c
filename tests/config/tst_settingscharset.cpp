// Settings values that are not UTF-8, the 254-character cut, values written
// back unchanged, and the one table of the handheld's character set.

#include "config/handheldcharset.h"
#include "config/settings.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <string>

using namespace loomway;
using namespace loomway::test;

class TestSettingsCharset : public QObject {
    Q_OBJECT
private slots:
    void readSetting_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("UTF-8 as it is")
            << QByteArray("Caf\xc3\xa9 \xe2\x82\xac") << QByteArray("Caf\xc3\xa9 \xe2\x82\xac");
        QTest::newRow("Windows-1252 letters")
            << QByteArray("Caf\xe9 \xfc") << QByteArray("Caf\xc3\xa9 \xc3\xbc");
        QTest::newRow("Windows-1252 marks")
            << QByteArray("\x93x\x94 \x80") << QByteArray("\xe2\x80\x9cx\xe2\x80\x9d \xe2\x82\xac");
        QTest::newRow("overlong form is no UTF-8")
            << QByteArray("\xc0\xaf") << QByteArray("\xc3\x80\xc2\xaf");
        QTest::newRow("surrogate is no UTF-8")
            << QByteArray("\xed\xa0\x80") << QByteArray("\xc3\xad\xc2\xa0\xe2\x82\xac");
        QTest::newRow("cut after 254 UTF-8 characters")
            << QByteArray(253, 'a') + "\xc3\xa9\xc3\xa9" << QByteArray(253, 'a') + "\xc3\xa9";
        QTest::newRow("cut after 254 Windows-1252 characters")
            << QByteArray(300, '\xe9') << QByteArray("\xc3\xa9").repeated(254);
        QTest::newRow("blanks before the cut go")
            << QByteArray(253, 'a') + "  b" << QByteArray(253, 'a');
    }
    void readSetting() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, read);
        MemoryProfileFile file;
        file.set("Preferences", "StartApp", stored.toStdString());
        QCOMPARE(QByteArray::fromStdString(ReadSetting(file, "Preferences", "StartApp")), read);
    }

    // OK writes the value back: untouched, it keeps its bytes; changed, it is UTF-8.
    void writeBack_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("written");
        const QByteArray latin = "C:\\Programme\\M\xfcller.exe";
        const QByteArray shown = "C:\\Programme\\M\xc3\xbcller.exe";
        QTest::newRow("8-bit, untouched") << latin << shown << latin;
        QTest::newRow("8-bit, changed") << latin << shown + "x" << shown + "x";
        QTest::newRow("longer than the cut, untouched")
            << QByteArray(300, 'p') << QByteArray(254, 'p') << QByteArray(300, 'p');
    }
    void writeBack() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, written);
        MemoryProfileFile file;
        file.set("Preferences", "StartApp", stored.toStdString());
        const SettingText read = ReadSettingText(file, "Preferences", "StartApp");
        WriteSettingText(file, "Preferences", "StartApp", read, text.toStdString());
        QCOMPARE(file.writes.size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(file.writes[0].value), written);
    }

    // Every byte with a character comes back as itself; the two without read as '?'.
    void everyByteRoundTrips() {
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const bool empty = b == 0x81 || b == 0x9d;
            QCOMPARE(UnicodeToHandheld(HandheldToUnicode(byte)), empty ? std::string("?") : byte);
            QVERIFY(IsUtf8(HandheldToUtf8(byte)));
        }
    }
};

QTEST_APPLESS_MAIN(TestSettingsCharset)
#include "tst_settingscharset.moc"
