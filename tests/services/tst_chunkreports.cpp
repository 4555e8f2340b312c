// What the pump, the clipboard sender and the status reply tell a chunk tap.
#include "core/datapump.h"
#include "services/clipboardengine.h"
#include "tests/services/printrig.h"
#include "tests/support/fakes.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

struct RecordingTap : ChunkTap {
    void OnChunk(ChunkDirection direction, bool consumed, const std::string& bytes) override {
        static const char* names[] = {"HM", "MH", "PH"};
        seen += std::string(names[int(direction)]) + (consumed ? "* " : " ") + bytes + "|";
    }
    std::string seen;
};

struct TextClipboard : Clipboard {
    std::optional<std::string> GetText() override { return text; }
    void SetText(const std::string& value) override { text = value; }
    std::optional<std::string> text;
};

} // namespace

class TestChunkReports : public QObject {
    Q_OBJECT
private slots:
    void everyChunkIsReported() {
        PrintRig rig; // its handheld port, traffic and lamps serve the pump as well
        Settings settings;
        settings.SerialMethodOn = settings.PrintMethodOn = settings.ClipboardMethodOn = true;
        FakeSerialPort modem;
        modem.forceOpen(true);
        TextClipboard clipboard;
        ClipboardRedirect clipboardEngine(clipboard, rig.lamps);
        DataPump pump(settings, rig, modem, rig.engine, clipboardEngine, rig.traffic, rig.lamps);
        rig.SetReceiveHandler([&pump] { pump.OnHandheldData(); });
        modem.SetReceiveHandler([&pump] { pump.OnModemData(); });
        rig.arrive("before the tap");
        RecordingTap tap;
        pump.SetChunkTap(&tap);
        rig.engine.SetChunkTap(&tap);
        rig.arrive("ATZ\r");
        modem.arrive("OK\r");
        rig.arrive("<LMW_C>a</LMW_C>");
        rig.arrive("<LMW_P><SRESP></LMW_P>");
        settings.SerialMethodOn = false; // read, not forwarded, still reported
        rig.arrive("y");
        modem.arrive("x");
        clipboard.text = "hi";
        Send_to_Clip(settings, rig, clipboard, rig.traffic, &tap);
        rig.forceOpen(false);
        Send_to_Clip(settings, rig, clipboard, rig.traffic, &tap);
        const std::string reply = rig.writes.at(rig.writes.size() - 2);
        QCOMPARE(
            QString::fromStdString(tap.seen),
            QString::fromStdString("HM ATZ\r|MH OK\r|HM* <LMW_C>a</LMW_C>|PH " + reply +
                                   "|HM* <LMW_P><SRESP></LMW_P>|HM y|MH x|PH <LMW_C>hi</LMW_C>|"));
        QVERIFY(reply.starts_with("<LMW_RSP>STA=DEFINED"));
    }
};

QTEST_APPLESS_MAIN(TestChunkReports)
#include "tst_chunkreports.moc"
