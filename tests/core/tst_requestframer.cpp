#include "core/requestframer.h"
#include "tests/support/referenceframer.h"

#include <QTest>

#include <random>

using loomway::RequestFramer;

namespace {
const std::string kOpen = "<LMW_C>", kClose = "</LMW_C>";

// One entry per chunk: "." when no request completed, else "[body|leftover]";
// the leftover is handed back to the framer, as the engines do.
QString Trace(RequestFramer& framer, const QByteArrayList& chunks) {
    QStringList trace;
    for (const QByteArray& chunk : chunks) {
        auto request = framer.Feed(chunk.toStdString());
        trace << (request ? "[" + QString::fromLatin1(request->body) + "|" +
                                QString::fromLatin1(request->leftover) + "]"
                          : ".");
        if (request) {
            framer.SetBuffer(request->leftover);
        }
    }
    return trace.join(' ');
}
} // namespace

class TestRequestFramer : public QObject {
    Q_OBJECT
private slots:
    void frames_data() {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QByteArray>("buffer");
        auto row = [](const char* name, QByteArrayList chunks, QString trace,
                      QByteArray buffer = {}) { QTest::newRow(name) << chunks << trace << buffer; };
        row("split tags", {"<LMW", "_C>hi</LMW_", "C>"}, ". . [hi|]");
        row("text around", {"ab<LMW_C>x</LMW_C>cd"}, "[x|cd]");
        row("two in one chunk", {"<LMW_C>a</LMW_C><LMW_C>b</LMW_C>", "z"},
            "[a|<LMW_C>b</LMW_C>] [b|z]");
        row("empty", {"<LMW_C>", "</LMW_C>"}, ". [|]");
        row("second opening is body", {"<LMW_C>a<LMW_C>b</LMW_C>"}, "[a<LMW_C>b|]");
        row("stray closing", {"x</LMW_C>y", "<LMW_C>z</LMW_C>"}, ". [z|]");
        row("broken opening", {"<LMW_", "x<LMW_C>y</LMW_C>"}, ". [y|]");
        row("letter case", {"<lmw_c>x</lmw_c>", "<LMW_P>x</LMW_P>"}, ". .");
        row("every byte", {QByteArray("\0\xff<LMW_C>\0\x80", 11), "</LMW_C>\x01"},
            QString(". [") + QChar(0) + QChar(0x80) + "|\x01]");
        row("kept beginning", {"data <LMW_"}, ".", "<LMW_");
        row("open request", {"junk<LMW_C>ab", "c</LMW"}, ". .", "<LMW_C>abc</LMW");
    }
    void frames() {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, trace);
        QFETCH(QByteArray, buffer);
        RequestFramer framer(kOpen, kClose);
        QCOMPARE(Trace(framer, chunks), trace);
        QCOMPARE(QByteArray::fromStdString(framer.Buffer()), buffer);
    }

    // A body of the limit is a request; one character more without its
    // closing tag is given up, keeping only an end that may begin a tag.
    void oversizedRequest() {
        RequestFramer framer(kOpen, kClose, 10);
        QCOMPARE(Trace(framer, {"<LMW_C>0123456789", "</LMW_C>"}), QString(". [0123456789|]"));
        QCOMPARE(Trace(framer, {"<LMW_C>0123456789a<LMW_", "C>ok</LMW_C>"}), QString(". [ok|]"));
        QCOMPARE(Trace(framer, {"<LMW_C>0123456789ab", "</LMW_C>"}), QString(". ."));
        QCOMPARE(Trace(framer, {"<LMW_C>12345", "6789012345</LMW_C>z"}),
                 QString(". [123456789012345|z]"));
        RequestFramer big(kOpen, kClose);
        big.Feed(std::string(1 << 20, 'x') + "<LMW");
        QCOMPARE(big.Buffer(), std::string("<LMW"));
        big.Feed("_C" + std::string(RequestFramer::kMaxRequest + 1, 'y'));
        QCOMPARE(big.Buffer(), std::string());
    }

    // Random streams over the tag characters in random chunks give the same
    // requests as a plain model of the framing, and the buffer stays bounded.
    void matchesTheModel() {
        std::mt19937 random(1234);
        const std::string alphabet = "<LMW_C/P>ab";
        for (int round = 0; round < 3000; ++round) {
            const std::size_t max = round % 3 == 0 ? 12 : RequestFramer::kMaxRequest;
            const bool handBack = round % 5 != 0;
            RequestFramer framer(kOpen, kClose, max);
            loomway::test::ReferenceFramer model(kOpen, kClose, max);
            for (int n = 0; n < 30; ++n) {
                std::string chunk(random() % 12, ' ');
                for (char& c : chunk) {
                    c = alphabet[random() % alphabet.size()];
                }
                if (random() % 4 == 0) {
                    chunk.insert(random() % (chunk.size() + 1), random() % 2 ? kOpen : kClose);
                }
                auto got = framer.Feed(chunk);
                auto want = model.Feed(chunk);
                QCOMPARE(got.has_value(), want.has_value());
                if (got) {
                    QCOMPARE(got->body + "|" + got->leftover, want->body + "|" + want->leftover);
                    const std::string back = handBack ? got->leftover : std::string();
                    framer.SetBuffer(back);
                    model.SetBuffer(back);
                }
                QVERIFY(framer.Buffer().size() <= kOpen.size() + max + chunk.size());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRequestFramer)
#include "tst_requestframer.moc"
