#include "config/handheldcharset.h"
#include "config/numbertext.h"
#include "config/pppsettings.h"
#include "config/settings.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void readWriteAndPorts() {
        MemoryProfileFile file;
        QCOMPARE(ReadSetting(file, "Nowhere", "Port", "  given "), std::string("given"));
        file.set("PORTS", "com5", " /dev/ttyUSB0 ");
        file.set("Ports", "COM2", ""); // an empty key is no mapping
        QCOMPARE(PortDevice(file, 5), std::string("/dev/ttyUSB0"));
        QCOMPARE(PortDevice(file, 2), std::string("/dev/ttyS1"));
        QCOMPARE(PortDevice(file, 0), std::string("/dev/ttyS-1"));
        QCOMPARE(WriteSetting(file, "Common", "Speed", "9600"), std::int16_t(1));
        file.failWrites = true;
        QCOMPARE(WriteSetting(file, "Common", "Speed", "300"), std::int16_t(0));
    }

    // Values end at a NUL; those that are not UTF-8 read as Windows-1252; all
    // are cut after 254 characters. OK writes the value back: untouched, it
    // keeps its bytes; changed, it is UTF-8.
    void readAndWriteBack_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("typed"); // empty: untouched
        const auto row = [](const char* name, const QByteArray& stored, const QByteArray& read,
                            const QByteArray& typed = {}) {
            QTest::newRow(name) << stored << read << typed;
        };
        row("a NUL ends it", QByteArray("ab \0cd", 6), "ab");
        row("UTF-8 as it is", "Caf\xc3\xa9 \xe2\x82\xac", "Caf\xc3\xa9 \xe2\x82\xac");
        row("Windows-1252, changed", "Caf\xe9 \xfc", "Caf\xc3\xa9 \xc3\xbc",
            "Caf\xc3\xa9 \xc3\xbcx");
        row("Windows-1252 marks", "\x93x\x94 \x80", "\xe2\x80\x9cx\xe2\x80\x9d \xe2\x82\xac");
        row("overlong form is no UTF-8", "\xc0\xaf", "\xc3\x80\xc2\xaf");
        row("surrogate is no UTF-8", "\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac");
        const QByteArray a253(253, 'a');
        row("cut after 254 UTF-8 characters", a253 + "\xc3\xa9\xc3\xa9", a253 + "\xc3\xa9");
        row("cut after 254 Windows-1252", QByteArray(300, '\xe9'),
            QByteArray("\xc3\xa9").repeated(254));
        row("blanks before the cut go", a253 + "  b", a253);
    }
    void readAndWriteBack() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, typed);
        MemoryProfileFile file;
        file.set("Preferences", "StartApp", stored.toStdString());
        const SettingText shown = ReadSettingText(file, "Preferences", "StartApp");
        QCOMPARE(QByteArray::fromStdString(shown.shown), read);
        WriteSettingText(file, "Preferences", "StartApp", shown,
                         typed.isEmpty() ? shown.shown : typed.toStdString());
        QCOMPARE(QByteArray::fromStdString(file.writes.at(0).value),
                 typed.isEmpty() ? stored : typed);
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

    void commSettings_data() {
        addRows({"source", "destination", "speed", "loaded"},
                {{"leading digits", "12abc", "3x", "19200 baud", "12 3x 19200 baud"},
                 {"no digits", "COM3", " COM4 ", "fast", "0 COM4 fast"},
                 {"absent", "", "", "", "none none none"},
                 {"marked not set", "-1x", " -1 ", "-1", "none none none"},
                 {"negative, point", "-4", "3.9", "9600.0", "-4 3.9 9600.0"},
                 {"plus", "+7", "1", "1", "7 1 1"},
                 {"huge", "99999999999999999999", "1", "1", "2147483647 1 1"}});
    }
    void commSettings() {
        MemoryProfileFile file;
        file.set("Source", "Port", cell("source").toStdString());
        file.set("Destination", "Port", cell("destination").toStdString());
        file.set("Common", "Speed", cell("speed").toStdString());
        Settings settings; // all set before, so that what is not set shows
        settings.SourcePort = 42, settings.DestinationPort = settings.CommonSpeed = "42";
        LoadCommSettings(file, settings);
        const auto text = [](const std::optional<std::string>& setting) {
            return QString::fromStdString(setting.value_or("none"));
        };
        const auto source = settings.SourcePort
                                ? std::optional(std::to_string(*settings.SourcePort))
                                : std::nullopt;
        QCOMPARE(text(source) + " " + text(settings.DestinationPort) + " " +
                     text(settings.CommonSpeed),
                 cell("loaded"));
    }

    // Each method key alone (the others set the other way, so a mix-up
    // shows): YES in any case or nothing sets it, NO clears, others leave it.
    void methods_data() {
        addRows({"value", "fromOff", "fromOn"}, {{"yes", "yes", "1", "1"},
                                                 {"no, blanks", "  no ", "0", "0"},
                                                 {"empty", "", "1", "1"},
                                                 {"YESS", "YESS", "0", "1"}});
    }
    void methods() {
        for (bool before : {false, true}) {
            const bool after = cell(before ? "fromOn" : "fromOff") == "1";
            for (const char* key : {"LMW_S", "LMW_P", "LMW_C"}) {
                MemoryProfileFile file;
                SaveMethods(file, after ? "NO" : "YES", after ? "NO" : "YES", after ? "NO" : "YES");
                file.set("Methods", key, cell("value").toStdString());
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
        addRows({"text", "number"},
                {{"plain", "  9600 ", "9600"},
                 {"signs", "-1", "-1"},
                 {"plus", "+5", "5"},
                 {"half to even", "2.5", "2"},
                 {"half up to even", "3.5", "4"},
                 {"points", ".9", "1"},
                 {"exponent", "1.2e3", "1200"},
                 {"huge", "1e30", "9223372036854775807"},
                 {"tiny", "1e-99999", "0"},
                 {"half, 20 digits", "9223372036854775806.5", "9223372036854775806"},
                 {"half, 50 digits", "2500000000000000000000000000000000000000000000000e-48", "2"},
                 {"empty", "   ", "none"},
                 {"bare exponent", "1e", "none"},
                 {"comma", "9600,N,8,1", "none"}});
    }

    void wholeNumber() {
        const auto got = ToWholeNumber(cell("text").toStdString());
        QCOMPARE(got ? QString::number(*got) : QString("none"), cell("number"));
    }

    // [PPP]: the addresses taken, Desktop, and for a Network refused, a piece of why.
    void pppSettings_data() {
        addRows({"network", "desktop", "loaded"},
                {{"defaults", "", "", "10.0.2.15 10.0.2.2 10.0.2.3 NO"},
                 {"a /16", " 172.20.0.0/16 ", "yes", "172.20.0.15 172.20.0.2 172.20.0.3 YES"},
                 {"a /8", "10.0.0.0/8", "YES ", "10.0.0.15 10.0.0.2 10.0.0.3 YES"},
                 {"Desktop other than YES", "", "1", "10.0.2.15 10.0.2.2 10.0.2.3 NO"},
                 {"smaller than /24", "10.0.2.0/25", "", "!\"10.0.2.0/25\" is not a network from"},
                 {"prefix too short", "10.0.0.0/7", "", "!/8 to /24"},
                 {"host bits", "10.0.2.1/24", "", "!host bits set"},
                 {"no prefix", "10.0.2.0", "", "!is not an IPv4 network"},
                 {"byte over 255", "10.0.256.0/24", "", "!is not an IPv4 network"},
                 {"three bytes", "10.0.2/24", "", "!is not an IPv4 network"},
                 {"signed prefix", "10.0.2.0/+24", "", "!is not an IPv4 network"},
                 {"loopback", "127.0.0.0/24", "", "!reserved range"},
                 {"multicast", "224.1.0.0/16", "", "!reserved range"}});
    }
    void pppSettings() {
        MemoryProfileFile file;
        file.set("PPP", "Network", cell("network").toStdString());
        file.set("PPP", "Desktop", cell("desktop").toStdString());
        file.set("PPP", "User", " palm ");
        const PppSettings s = LoadPppSettings(file);
        QCOMPARE(s.user, std::string("palm"));
        QVERIFY(s.password.empty());
        const QString expected = cell("loaded");
        if (expected.startsWith('!')) {
            const QString problem = QString::fromStdString(s.problem);
            QVERIFY2(problem.startsWith("[PPP] Network: ") && problem.contains(expected.mid(1)) &&
                         problem.endsWith("; using 10.0.2.0/24"),
                     s.problem.c_str());
            QCOMPARE(s.Handheld(), PppSettings::kDefaultNetwork + 15);
            return;
        }
        QVERIFY2(s.problem.empty(), s.problem.c_str());
        const auto dotted = [](std::uint32_t a) {
            return QStringLiteral("%1.%2.%3.%4")
                .arg(a >> 24)
                .arg(a >> 16 & 255)
                .arg(a >> 8 & 255)
                .arg(a & 255);
        };
        QCOMPARE(dotted(s.Handheld()) + " " + dotted(s.Gateway()) + " " + dotted(s.Dns()) + " " +
                     (s.desktop ? "YES" : "NO"),
                 expected);
    }
};

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
