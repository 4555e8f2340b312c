#include "config/settings.h"
#include "tests/support/fakes.h"

#include <QTest>

#include <climits>

using loomway::LeadingNumber;
using loomway::LoadCommSettings;
using loomway::LoadMethods;
using loomway::PortDevice;
using loomway::ReadSetting;
using loomway::SaveMethods;
using loomway::Settings;
using loomway::ToWholeNumber;
using loomway::WriteSetting;
using loomway::test::MemoryProfileFile;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void emptyFileGivesEveryDefault() {
        MemoryProfileFile file;
        Settings settings;
        LoadCommSettings(file, settings);
        LoadMethods(file, settings);
        QCOMPARE(settings.SourcePort, -1);
        QCOMPARE(settings.DestinationPort, std::string("-1"));
        QCOMPARE(settings.CommonSpeed, std::string("-1"));
        QVERIFY(settings.SerialMethodOn);
        QVERIFY(settings.PrintMethodOn);
        QVERIFY(settings.ClipboardMethodOn);
        QCOMPARE(settings.ExitProgramPath, std::string("<NONE>"));
        QVERIFY(file.writes.empty());
    }

    void readSettingTrimsCutsAndDefaults() {
        MemoryProfileFile file;
        file.set("Source", "Port", "   5  ");
        QCOMPARE(ReadSetting(file, "Source", "Port"), std::string("5"));
        QCOMPARE(ReadSetting(file, "SOURCE", "port"), std::string("5"));
        QCOMPARE(ReadSetting(file, "Source", "Missing"), std::string());
        QCOMPARE(ReadSetting(file, "Nowhere", "Port", "  given "), std::string("given"));

        file.set("Long", "Value", std::string(300, 'x'));
        QCOMPARE(ReadSetting(file, "Long", "Value"), std::string(254, 'x'));

        // The value ends at a terminator inside it, and the blanks before it go.
        file.set("Nul", "Value", std::string("ab \0cd", 6));
        QCOMPARE(ReadSetting(file, "Nul", "Value"), std::string("ab"));

        file.set("Empty", "Value", "");
        QCOMPARE(ReadSetting(file, "Empty", "Value"), std::string());

        // A value that is not UTF-8 reads as Windows-1252.
        file.set("Latin", "Value", "caf\xe9\xff");
        QCOMPARE(ReadSetting(file, "Latin", "Value"), std::string("caf\xc3\xa9\xc3\xbf"));
    }

    void writeSettingReportsTheFlag() {
        MemoryProfileFile file;
        QCOMPARE(WriteSetting(file, "Common", "Speed", "9600"), std::int16_t(1));
        QCOMPARE(ReadSetting(file, "Common", "Speed"), std::string("9600"));
        QCOMPARE(WriteSetting(file, "Common", "Speed", ""), std::int16_t(1));
        QCOMPARE(file.writes.back().value, std::string());
        file.failWrites = true;
        QCOMPARE(WriteSetting(file, "Common", "Speed", "300"), std::int16_t(0));
        QCOMPARE(ReadSetting(file, "Common", "Speed"), std::string());
    }

    void commSettings_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<int>("sourcePort");
        QTest::addColumn<QString>("destinationPort");
        QTest::addColumn<QString>("commonSpeed");
        QTest::newRow("plain") << "1"
                               << "2"
                               << "9600" << 1 << "2"
                               << "9600";
        QTest::newRow("one character") << "5"
                                       << "5"
                                       << "115200" << 5 << "5"
                                       << "115200";
        QTest::newRow("leading digits only") << "12abc"
                                             << "3x"
                                             << "19200 baud" << 12 << "3x"
                                             << "19200 baud";
        QTest::newRow("no leading digits") << "COM3"
                                           << "COM4"
                                           << "fast" << 0 << "COM4"
                                           << "fast";
        QTest::newRow("blanks") << "  7  "
                                << "  8 "
                                << " 300 " << 7 << "8"
                                << "300";
        QTest::newRow("empty means absent") << ""
                                            << ""
                                            << "" << -1 << "-1"
                                            << "-1";
        QTest::newRow("negative") << "-4"
                                  << "-1"
                                  << "-1" << -4 << "-1"
                                  << "-1";
        QTest::newRow("decimal point stops the digits") << "3.9"
                                                        << "3.9"
                                                        << "9600.0" << 3 << "3.9"
                                                        << "9600.0";
        QTest::newRow("huge saturates") << "99999999999999999999"
                                        << "1"
                                        << "1" << INT_MAX << "1"
                                        << "1";
    }
    void commSettings() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        QFETCH(int, sourcePort);
        QFETCH(QString, destinationPort);
        QFETCH(QString, commonSpeed);
        MemoryProfileFile file;
        file.set("Source", "Port", source.toStdString());
        file.set("Destination", "Port", destination.toStdString());
        file.set("Common", "Speed", speed.toStdString());
        Settings settings;
        settings.SourcePort = 42; // stale values are replaced
        settings.DestinationPort = "42";
        settings.CommonSpeed = "42";
        LoadCommSettings(file, settings);
        QCOMPARE(settings.SourcePort, sourcePort);
        QCOMPARE(settings.DestinationPort, destinationPort.toStdString());
        QCOMPARE(settings.CommonSpeed, commonSpeed.toStdString());
    }

    void commSettingsReadAgainEveryTime() {
        MemoryProfileFile file;
        Settings settings;
        file.set("Source", "Port", "2");
        LoadCommSettings(file, settings);
        QCOMPARE(settings.SourcePort, 2);
        file.set("Source", "Port", "");
        LoadCommSettings(file, settings);
        QCOMPARE(settings.SourcePort, -1);
    }

    void methods_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("YES sets") << "YES" << false << true;
        QTest::newRow("yes in lower case sets") << "yes" << false << true;
        QTest::newRow("Yes mixed sets") << "Yes" << false << true;
        QTest::newRow("NO clears") << "NO" << true << false;
        QTest::newRow("no in lower case clears") << "no" << true << false;
        QTest::newRow("empty sets") << "" << false << true;
        QTest::newRow("blanks only sets") << "   " << false << true;
        QTest::newRow("maybe leaves on") << "maybe" << true << true;
        QTest::newRow("maybe leaves off") << "maybe" << false << false;
        QTest::newRow("YESS leaves") << "YESS" << false << false;
        QTest::newRow("ON is not YES") << "ON" << false << false;
        QTest::newRow("trimmed") << "  no " << true << false;
    }
    void methods() {
        QFETCH(QString, value);
        QFETCH(bool, before);
        QFETCH(bool, after);
        // Each key on its own, the other two set to the opposite answer, so
        // a mix-up of keys shows.
        for (const char* key : {"LMW_S", "LMW_P", "LMW_C"}) {
            MemoryProfileFile file;
            const std::string other = after ? "NO" : "YES";
            for (const char* k : {"LMW_S", "LMW_P", "LMW_C"}) {
                file.set("Methods", k, k == std::string(key) ? value.toStdString() : other);
            }
            Settings settings;
            settings.SerialMethodOn = before;
            settings.PrintMethodOn = before;
            settings.ClipboardMethodOn = before;
            LoadMethods(file, settings);
            const bool serial = std::string(key) == "LMW_S" ? after : !after;
            const bool print = std::string(key) == "LMW_P" ? after : !after;
            const bool clipboard = std::string(key) == "LMW_C" ? after : !after;
            QVERIFY2(settings.SerialMethodOn == serial, key);
            QVERIFY2(settings.PrintMethodOn == print, key);
            QVERIFY2(settings.ClipboardMethodOn == clipboard, key);
        }
    }

    void saveMethodsWritesInOrder() {
        MemoryProfileFile file;
        SaveMethods(file, "YES", "NO", "whatever");
        QCOMPARE(file.writes.size(), std::size_t(3));
        QCOMPARE(file.writes[0].section, std::string("Methods"));
        QCOMPARE(file.writes[0].key, std::string("LMW_S"));
        QCOMPARE(file.writes[0].value, std::string("YES"));
        QCOMPARE(file.writes[1].key, std::string("LMW_P"));
        QCOMPARE(file.writes[1].value, std::string("NO"));
        QCOMPARE(file.writes[2].key, std::string("LMW_C"));
        QCOMPARE(file.writes[2].value, std::string("whatever"));
        Settings settings;
        LoadMethods(file, settings);
        QVERIFY(settings.SerialMethodOn);
        QVERIFY(!settings.PrintMethodOn);
        QVERIFY(!settings.ClipboardMethodOn); // "whatever" left the start value
    }

    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("number");
        QTest::newRow("digits") << "16" << 16LL;
        QTest::newRow("digits then text") << "5abc" << 5LL;
        QTest::newRow("leading blanks") << "   42" << 42LL;
        QTest::newRow("plus") << "+7" << 7LL;
        QTest::newRow("minus") << "-1" << -1LL;
        QTest::newRow("no digits") << "abc" << 0LL;
        QTest::newRow("empty") << "" << 0LL;
        QTest::newRow("sign only") << "-" << 0LL;
        QTest::newRow("point") << "12.9" << 12LL;
        QTest::newRow("blank inside") << "1 2" << 1LL;
        QTest::newRow("saturates high") << "123456789012345678901234567890" << qlonglong(LONG_MAX);
        QTest::newRow("saturates low") << "-123456789012345678901234567890" << qlonglong(LONG_MIN);
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(qlonglong, number);
        QCOMPARE(qlonglong(LeadingNumber(text.toStdString())), number);
    }

    void wholeNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<qlonglong>("number");
        QTest::newRow("plain") << "9600" << true << 9600LL;
        QTest::newRow("big speed") << "115200" << true << 115200LL;
        QTest::newRow("blanks around") << "  300 " << true << 300LL;
        QTest::newRow("negative") << "-1" << true << -1LL;
        QTest::newRow("plus") << "+5" << true << 5LL;
        QTest::newRow("decimal rounds down") << "9600.4" << true << 9600LL;
        QTest::newRow("decimal rounds up") << "9600.6" << true << 9601LL;
        QTest::newRow("half to even down") << "2.5" << true << 2LL;
        QTest::newRow("half to even up") << "3.5" << true << 4LL;
        QTest::newRow("leading point") << ".9" << true << 1LL;
        QTest::newRow("trailing point") << "7." << true << 7LL;
        QTest::newRow("exponent") << "1.2e3" << true << 1200LL;
        QTest::newRow("huge saturates") << "1e30" << true << qlonglong(LONG_MAX);
        QTest::newRow("many digits") << QString(500, '9') << true << qlonglong(LONG_MAX);
        QTest::newRow("tiny") << "1e-99999" << true << 0LL;
        QTest::newRow("empty") << "" << false << 0LL;
        QTest::newRow("blanks") << "   " << false << 0LL;
        QTest::newRow("text") << "abc" << false << 0LL;
        QTest::newRow("digits then text") << "12abc" << false << 0LL;
        QTest::newRow("blank inside") << "1 2" << false << 0LL;
        QTest::newRow("point only") << "." << false << 0LL;
        QTest::newRow("sign only") << "-" << false << 0LL;
        QTest::newRow("exponent without digits") << "1e" << false << 0LL;
        QTest::newRow("two points") << "1.2.3" << false << 0LL;
        QTest::newRow("comma") << "9600,N,8,1" << false << 0LL;
    }
    void wholeNumber() {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(qlonglong, number);
        auto got = ToWholeNumber(text.toStdString());
        QCOMPARE(got.has_value(), isNumber);
        if (isNumber) {
            QCOMPARE(qlonglong(*got), number);
        }
    }

    void portDevice() {
        MemoryProfileFile file;
        QCOMPARE(PortDevice(file, 1), std::string("/dev/ttyS0"));
        QCOMPARE(PortDevice(file, 16), std::string("/dev/ttyS15"));
        file.set("Ports", "COM5", " /dev/ttyUSB0 ");
        QCOMPARE(PortDevice(file, 5), std::string("/dev/ttyUSB0"));
        QCOMPARE(PortDevice(file, 4), std::string("/dev/ttyS3"));
        file.set("PORTS", "com7", "/tmp/pty-a");
        QCOMPARE(PortDevice(file, 7), std::string("/tmp/pty-a"));
        file.set("Ports", "COM2", ""); // an empty key is no mapping
        QCOMPARE(PortDevice(file, 2), std::string("/dev/ttyS1"));
        QCOMPARE(PortDevice(file, 0), std::string("/dev/ttyS-1"));
        QCOMPARE(PortDevice(file, INT_MIN), std::string("/dev/ttyS-2147483649"));
        QVERIFY(file.writes.empty());
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
