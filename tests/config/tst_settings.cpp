#include "config/settings.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void readAndWrite() {
        MemoryProfileFile file;
        file.set("Source", "Port", "   5  ");
        file.set("Long", "Value", std::string(300, 'x'));
        file.set("Nul", "Value", std::string("ab \0cd", 6));
        QCOMPARE(ReadSetting(file, "SOURCE", "port"), std::string("5"));
        QCOMPARE(ReadSetting(file, "Nowhere", "Port", "  given "), std::string("given"));
        QCOMPARE(ReadSetting(file, "Long", "Value"), std::string(254, 'x'));
        QCOMPARE(ReadSetting(file, "Nul", "Value"), std::string("ab"));
        file.set("Latin", "Value", "caf\xe9\xff"); // not UTF-8: read as Windows-1252
        QCOMPARE(ReadSetting(file, "Latin", "Value"), std::string("caf\xc3\xa9\xc3\xbf"));
        QCOMPARE(WriteSetting(file, "Common", "Speed", "9600"), std::int16_t(1));
        QCOMPARE(ReadSetting(file, "Common", "Speed"), std::string("9600"));
        file.failWrites = true;
        QCOMPARE(WriteSetting(file, "Common", "Speed", "300"), std::int16_t(0));
    }

    void commSettings_data() {
        addRows({"source", "destination", "speed", "loaded"},
                {{"plain", "1", "2", "9600", "1 2 9600"},
                 {"leading digits", "12abc", "3x", "19200 baud", "12 3x 19200 baud"},
                 {"no digits", "COM3", " COM4 ", "fast", "0 COM4 fast"},
                 {"absent", "", "", "", "-1 -1 -1"},
                 {"negative, point", "-4", "3.9", "9600.0", "-4 3.9 9600.0"},
                 {"huge", "99999999999999999999", "1", "1", "2147483647 1 1"}});
    }
    void commSettings() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, speed);
        QFETCH(QString, loaded);
        MemoryProfileFile file;
        file.set("Source", "Port", source.toStdString());
        file.set("Destination", "Port", destination.toStdString());
        file.set("Common", "Speed", speed.toStdString());
        Settings settings{42, "42", "42"};
        LoadCommSettings(file, settings);
        QCOMPARE(QString("%1 %2 %3")
                     .arg(settings.SourcePort)
                     .arg(QString::fromStdString(settings.DestinationPort),
                          QString::fromStdString(settings.CommonSpeed)),
                 loaded);
    }

    // Each method key alone (the others set the other way, so a mix-up
    // shows): YES in any case or nothing sets it, NO clears, others leave it.
    void methods_data() {
        addRows({"value", "fromOff", "fromOn"}, {{"YES", "YES", "1", "1"},
                                                 {"yes", "yes", "1", "1"},
                                                 {"NO", "NO", "0", "0"},
                                                 {"no, blanks", "  no ", "0", "0"},
                                                 {"empty", "", "1", "1"},
                                                 {"maybe", "maybe", "0", "1"},
                                                 {"YESS", "YESS", "0", "1"},
                                                 {"ON", "ON", "0", "1"}});
    }
    void methods() {
        QFETCH(QString, value);
        QFETCH(QString, fromOff);
        QFETCH(QString, fromOn);
        for (bool before : {false, true}) {
            const bool after = (before ? fromOn : fromOff) == "1";
            for (const char* key : {"LMW_S", "LMW_P", "LMW_C"}) {
                MemoryProfileFile file;
                SaveMethods(file, after ? "NO" : "YES", after ? "NO" : "YES", after ? "NO" : "YES");
                file.set("Methods", key, value.toStdString());
                Settings settings;
                settings.SerialMethodOn = settings.PrintMethodOn = settings.ClipboardMethodOn =
                    before;
                LoadMethods(file, settings);
                const bool on[] = {settings.SerialMethodOn, settings.PrintMethodOn,
                                   settings.ClipboardMethodOn};
                for (int i = 0; i < 3; ++i) {
                    QCOMPARE(on[i], key[4] == "SPC"[i] ? after : !after);
                }
            }
        }
    }

    void wholeNumber_data() {
        addRows({"text", "number"}, {{"plain", "  9600 ", "9600"},
                                     {"signs", "-1", "-1"},
                                     {"plus", "+5", "5"},
                                     {"rounds", "9600.6", "9601"},
                                     {"half to even", "2.5", "2"},
                                     {"half up to even", "3.5", "4"},
                                     {"points", ".9", "1"},
                                     {"exponent", "1.2e3", "1200"},
                                     {"huge", "1e30", "9223372036854775807"},
                                     {"tiny", "1e-99999", "0"},
                                     {"empty", "   ", "none"},
                                     {"text", "12abc", "none"},
                                     {"blank inside", "1 2", "none"},
                                     {"sign only", "-", "none"},
                                     {"bare exponent", "1e", "none"},
                                     {"two points", "1.2.3", "none"},
                                     {"comma", "9600,N,8,1", "none"}});
    }
    void wholeNumber() {
        QFETCH(QString, text);
        QFETCH(QString, number);
        const auto got = ToWholeNumber(text.toStdString());
        QCOMPARE(got ? QString::number(*got) : QString("none"), number);
    }

    void leadingNumber() {
        for (auto [text, number] : {std::pair{"5abc", 5L},
                                    {" +7", 7L},
                                    {"-1", -1L},
                                    {"abc", 0L},
                                    {"-", 0L},
                                    {"12.9", 12L},
                                    {"-99999999999999999999", LONG_MIN}}) {
            QCOMPARE(LeadingNumber(text), number);
        }
    }

    void portDevice() {
        MemoryProfileFile file;
        file.set("PORTS", "com5", " /dev/ttyUSB0 ");
        file.set("Ports", "COM2", ""); // an empty key is no mapping
        QCOMPARE(PortDevice(file, 16), std::string("/dev/ttyS15"));
        QCOMPARE(PortDevice(file, 5), std::string("/dev/ttyUSB0"));
        QCOMPARE(PortDevice(file, 2), std::string("/dev/ttyS1"));
        QCOMPARE(PortDevice(file, 0), std::string("/dev/ttyS-1"));
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
