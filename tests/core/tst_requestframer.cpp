#include "core/requestframer.h"
#include "tests/support/referenceframer.h"

#include <QTest>

#include <optional>
#include <random>
#include <string>
#include <vector>

using loomway::FramedRequest;
using loomway::RequestFramer;
using loomway::test::ReferenceFramer;

namespace {

const std::string kOpenC = "<LMW_C>";
const std::string kCloseC = "</LMW_C>";
const std::string kOpenP = "<LMW_P>";
const std::string kCloseP = "</LMW_P>";

std::string Shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            out += "\\x" + QByteArray(1, char(c)).toHex().toStdString();
        }
    }
    return out;
}

// One entry per chunk: "." when no request completed, else "[body|leftover]".
// The leftover is handed back to the framer, as the engines do.
template <typename Framer> std::string Trace(Framer& framer, const QByteArrayList& chunks) {
    std::string trace;
    for (const QByteArray& chunk : chunks) {
        if (!trace.empty()) {
            trace += ' ';
        }
        auto request = framer.Feed(chunk.toStdString());
        if (!request) {
            trace += '.';
            continue;
        }
        trace += '[';
        trace += Shown(request->body);
        trace += '|';
        trace += Shown(request->leftover);
        trace += ']';
        framer.SetBuffer(request->leftover);
    }
    return trace;
}

// True when no opening tag stands in text.
bool HasNoOpening(const std::string& text, const std::string& open) {
    return text.find(open) == std::string::npos;
}

} // namespace

class TestRequestFramer : public QObject {
    Q_OBJECT
private slots:
    void framesRequests_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QByteArray>("bufferAfter");

        QTest::newRow("tags split over three chunks")
            << "C" << QByteArrayList{"<LMW", "_C>hello</LMW_", "C>"} << ". . [hello|]"
            << QByteArray();
        QTest::newRow("text around the tags")
            << "C" << QByteArrayList{"abc<LMW_C>x</LMW_C>def"} << "[x|def]" << QByteArray();
        QTest::newRow("print request around text")
            << "P" << QByteArrayList{"ab<LMW_P><FBOLD>hi<NL></LMW_P>cd"} << "[<FBOLD>hi<NL>|cd]"
            << QByteArray();
        QTest::newRow("two requests in one chunk: the second with the next chunk")
            << "C" << QByteArrayList{"<LMW_C>a</LMW_C><LMW_C>b</LMW_C>", "z"}
            << "[a|<LMW_C>b</LMW_C>] [b|z]" << QByteArray();
        QTest::newRow("the next chunk after a stored request is not searched for another")
            << "C" << QByteArrayList{"<LMW_C>a</LMW_C><LMW_C>b</LMW_C>", "<LMW_C>c</LMW_C>", "."}
            << "[a|<LMW_C>b</LMW_C>] [b|<LMW_C>c</LMW_C>] [c|.]" << QByteArray();
        QTest::newRow("empty request")
            << "C" << QByteArrayList{"<LMW_C></LMW_C>"} << "[|]" << QByteArray();
        QTest::newRow("closing tag alone completes a body of nothing")
            << "C" << QByteArrayList{"<LMW_C>", "</LMW_C>"} << ". [|]" << QByteArray();
        QTest::newRow("a second opening tag belongs to the body")
            << "C" << QByteArrayList{"<LMW_C>a<LMW_C>b</LMW_C>"} << "[a<LMW_C>b|]" << QByteArray();
        QTest::newRow("stray closing tag before the opening tag")
            << "C" << QByteArrayList{"x</LMW_C>y<LMW_C>z</LMW_C>"} << "[z|]" << QByteArray();
        QTest::newRow("stray closing tag in an earlier chunk")
            << "C" << QByteArrayList{"</LMW_C>", "<LMW_C>q</LMW_C>"} << ". [q|]" << QByteArray();
        QTest::newRow("stray closing tag in the leftover")
            << "C" << QByteArrayList{"<LMW_C>a</LMW_C>b</LMW_C>c", "<LMW_C>d</LMW_C>"}
            << "[a|b</LMW_C>c] [d|]" << QByteArray();
        QTest::newRow("leftover that begins a request")
            << "C" << QByteArrayList{"<LMW_C>a</LMW_C><LMW", "_C>b</LMW_C>"} << "[a|<LMW] [b|]"
            << QByteArray();
        QTest::newRow("leftover that holds an opening tag and part of a body")
            << "C" << QByteArrayList{"<LMW_C>a</LMW_C>zz<LMW_C>b", "c</LMW", "_C>"}
            << "[a|zz<LMW_C>b] . [bc|]" << QByteArray();
        QTest::newRow("leftover with a request waits for the next chunk")
            << "C" << QByteArrayList{"<LMW_C>1</LMW_C><LMW_C>2</LMW_C>"} << "[1|<LMW_C>2</LMW_C>]"
            << QByteArray("<LMW_C>2</LMW_C>");
        QTest::newRow("partial opening tag that breaks off")
            << "C" << QByteArrayList{"<LMW_", "x<LMW_C>y</LMW_C>"} << ". [y|]" << QByteArray();
        QTest::newRow("partial opening tag, then a fresh one")
            << "C" << QByteArrayList{"<LMW_C", "<LMW_C>y</LMW_C>"} << ". [y|]" << QByteArray();
        QTest::newRow("one character at a time")
            << "C" << QByteArrayList{"<", "L", "M", "W", "_", "C", ">", "h",
                                     "<", "/", "L", "M", "W", "_", "C", ">"}
            << ". . . . . . . . . . . . . . . [h|]" << QByteArray();
        QTest::newRow("letter case matters")
            << "C" << QByteArrayList{"<lmw_c>x</lmw_c>", "<LMW_c>x</LMW_c>"} << ". ."
            << QByteArray();
        QTest::newRow("the other engine's tags are data")
            << "C" << QByteArrayList{"<LMW_P>x</LMW_P>"} << "." << QByteArray();
        QTest::newRow("closing tag of the other engine inside the body")
            << "P" << QByteArrayList{"<LMW_P>a</LMW_C>b", "</LMW_P>"} << ". [a</LMW_C>b|]"
            << QByteArray();
        QTest::newRow("bytes of every value pass unchanged")
            << "C" << QByteArrayList{QByteArray("\x00\xff<LMW_C>\x00\r\n\x80", 13), "</LMW_C>\x01"}
            << ". [\\x00\\x0d\\x0a\\x80|\\x01]" << QByteArray();
        QTest::newRow("the end that could begin a tag is kept")
            << "C" << QByteArrayList{"lots of data <LMW_"} << "." << QByteArray("<LMW_");
        QTest::newRow("an open request keeps everything from its tag")
            << "C" << QByteArrayList{"junk<LMW_C>abc", "def</LMW"} << ". ."
            << QByteArray("<LMW_C>abcdef</LMW");
    }
    void framesRequests() {
        QFETCH(QString, kind);
        QFETCH(QByteArrayList, chunks);
        QFETCH(QString, trace);
        QFETCH(QByteArray, bufferAfter);
        const bool clip = kind == "C";
        RequestFramer framer(clip ? kOpenC : kOpenP, clip ? kCloseC : kCloseP);
        QCOMPARE(QString::fromStdString(Trace(framer, chunks)), trace);
        QCOMPARE(QByteArray::fromStdString(framer.Buffer()), bufferAfter);

        // The unbounded framing gives the same requests.
        ReferenceFramer reference(clip ? kOpenC : kOpenP, clip ? kCloseC : kCloseP,
                                  RequestFramer::kMaxRequest);
        QCOMPARE(QString::fromStdString(Trace(reference, chunks)), trace);
    }

    // A request split into three chunks at every pair of positions, with text
    // around it: exactly the chunk that holds the last character of the
    // closing tag completes it.
    void tagsSplitAtEveryPosition() {
        const std::string stream = "ab<LMW_C>hello</LMW_C>cd";
        const std::size_t end = stream.find(kCloseC) + kCloseC.size();
        for (std::size_t i = 0; i <= stream.size(); ++i) {
            for (std::size_t j = i; j <= stream.size(); ++j) {
                const std::vector<std::string> chunks{stream.substr(0, i), stream.substr(i, j - i),
                                                      stream.substr(j)};
                RequestFramer framer(kOpenC, kCloseC);
                std::size_t consumed = 0;
                int completions = 0;
                for (std::size_t k = 0; k < chunks.size(); ++k) {
                    auto request = framer.Feed(chunks[k]);
                    consumed += chunks[k].size();
                    const bool completes = consumed >= end && consumed - chunks[k].size() < end;
                    const QByteArray where = QByteArray::number(qulonglong(i)) + "," +
                                             QByteArray::number(qulonglong(j)) + " chunk " +
                                             QByteArray::number(qulonglong(k));
                    QVERIFY2(request.has_value() == completes, where.constData());
                    if (request) {
                        ++completions;
                        QCOMPARE(request->body, std::string("hello"));
                        QCOMPARE(request->leftover, stream.substr(end, consumed - end));
                        framer.SetBuffer(request->leftover);
                    }
                }
                QCOMPARE(completions, 1);
                QVERIFY(framer.Buffer().empty());
            }
        }
    }

    // Without an opening tag the buffer never holds more than the end that
    // could still begin one.
    void longStreamWithoutTagsStaysSmall() {
        std::mt19937 random(7);
        const std::string alphabet = "<LMW_C>/P xyz\r\n";
        for (const auto& [open, close] : {std::pair(kOpenC, kCloseC), std::pair(kOpenP, kCloseP)}) {
            RequestFramer framer(open, close);
            std::size_t fed = 0;
            for (int n = 0; n < 20000; ++n) {
                std::string chunk(1 + random() % 40, ' ');
                for (char& c : chunk) {
                    c = alphabet[random() % alphabet.size()];
                }
                if (chunk.find(open) != std::string::npos) {
                    continue;
                }
                if (n % 97 == 0) {
                    chunk += open.substr(0, 1 + random() % (open.size() - 1));
                }
                auto request = framer.Feed(chunk);
                fed += chunk.size();
                if (HasNoOpening(framer.Buffer(), open)) {
                    QVERIFY2(framer.Buffer().size() <= 6, Shown(framer.Buffer()).c_str());
                    QVERIFY(!request.has_value());
                } else {
                    // A tag split between two chunks began a request.
                    QCOMPARE(framer.Buffer().substr(0, open.size()), open);
                    framer.SetBuffer(std::string());
                }
            }
            QVERIFY(fed > 200000);
        }
        RequestFramer framer(kOpenC, kCloseC);
        framer.Feed(std::string(1 << 20, 'x') + "</LMW_C>" + std::string(1000, 'y') + "<LMW");
        QCOMPARE(framer.Buffer(), std::string("<LMW"));
        framer.Feed("_C");
        QCOMPARE(framer.Buffer(), std::string("<LMW_C"));
        framer.Feed("_C");
        QCOMPARE(framer.Buffer(), std::string());
    }

    void oversizedRequestIsAbandoned_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("pieces");
        QTest::newRow("small limit, one chunk") << 100 << 1;
        QTest::newRow("small limit, many chunks") << 100 << 25;
        QTest::newRow("1 MiB, 4 KiB chunks") << int(RequestFramer::kMaxRequest) << 257;
    }
    void oversizedRequestIsAbandoned() {
        QFETCH(int, limit);
        QFETCH(int, pieces);
        const std::size_t max = std::size_t(limit);
        RequestFramer framer(kOpenC, kCloseC, max);

        // A body of exactly the limit is still a request.
        framer.Feed(kOpenC + std::string(max, 'a'));
        QCOMPARE(framer.Buffer().size(), kOpenC.size() + max);
        auto exact = framer.Feed(kCloseC);
        QVERIFY(exact.has_value());
        QCOMPARE(exact->body, std::string(max, 'a'));

        // One more character with no closing tag gives it up.
        const std::string body(max + 1, 'b');
        const std::size_t piece = body.size() / pieces + 1;
        framer.Feed(kOpenC);
        for (std::size_t at = 0; at < body.size(); at += piece) {
            QVERIFY(!framer.Feed(body.substr(at, piece)).has_value());
            QVERIFY(framer.Buffer().size() <= kOpenC.size() + max + piece);
        }
        QCOMPARE(framer.Buffer(), std::string());
        // Its closing tag, when it comes, completes nothing.
        QVERIFY(!framer.Feed("tail" + kCloseC).has_value());

        // The next request is framed normally.
        auto next = framer.Feed("x<LMW_C>next</LMW_C>y");
        QVERIFY(next.has_value());
        QCOMPARE(next->body, std::string("next"));
        QCOMPARE(next->leftover, std::string("y"));
    }

    // A closing tag in the same chunk as the overflow still completes the
    // request, as the unbounded framing would.
    void closingTagInTheOverflowingChunkCompletes() {
        RequestFramer framer(kOpenC, kCloseC, 10);
        framer.Feed(kOpenC + "12345");
        auto request = framer.Feed("6789012345" + kCloseC + "z");
        QVERIFY(request.has_value());
        QCOMPARE(request->body, std::string("123456789012345"));
        QCOMPARE(request->leftover, std::string("z"));
    }

    // The end of an abandoned request that could begin an opening tag is kept.
    void abandonedRequestKeepsABeginningTag() {
        RequestFramer framer(kOpenC, kCloseC, 10);
        framer.Feed(kOpenC + std::string(20, 'q') + "<LMW_");
        QCOMPARE(framer.Buffer(), std::string("<LMW_"));
        auto request = framer.Feed("C>ok</LMW_C>");
        QVERIFY(request.has_value());
        QCOMPARE(request->body, std::string("ok"));
    }

    // A leftover longer than the bound is judged with the next chunk: closed
    // there it is a request, otherwise it is given up.
    void longLeftoverWaitsForTheNextChunk() {
        const std::string leftover = kOpenC + std::string(30, 'l');
        RequestFramer closing(kOpenC, kCloseC, 10);
        closing.SetBuffer(leftover);
        QCOMPARE(closing.Buffer(), leftover);
        auto request = closing.Feed("m" + kCloseC);
        QVERIFY(request.has_value());
        QCOMPARE(request->body, std::string(30, 'l') + "m");

        RequestFramer open(kOpenC, kCloseC, 10);
        open.SetBuffer(leftover);
        QVERIFY(!open.Feed("m").has_value());
        QCOMPARE(open.Buffer(), std::string());
    }

    void setBufferReestablishesTheState_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<QString>("trace");
        QTest::newRow("plain text")
            << QByteArray("hello") << QByteArray() << QByteArray("x") << ".";
        QTest::newRow("a beginning tag")
            << QByteArray("abc<LMW") << QByteArray("<LMW") << QByteArray("_C>1</LMW_C>") << "[1|]";
        QTest::newRow("an opening tag") << QByteArray("abc<LMW_C>12") << QByteArray("<LMW_C>12")
                                        << QByteArray("3</LMW_C>") << "[123|]";
        QTest::newRow("a complete request")
            << QByteArray("a<LMW_C>1</LMW_C>b") << QByteArray("<LMW_C>1</LMW_C>b")
            << QByteArray("c") << "[1|bc]";
        QTest::newRow("a complete request, next chunk empty")
            << QByteArray("<LMW_C>1</LMW_C>") << QByteArray("<LMW_C>1</LMW_C>") << QByteArray()
            << "[1|]";
        QTest::newRow("a stray closing tag")
            << QByteArray("a</LMW_C>b") << QByteArray() << QByteArray("<LMW_C>2</LMW_C>") << "[2|]";
        QTest::newRow("a stray closing tag before a request")
            << QByteArray("</LMW_C><LMW_C>3") << QByteArray("<LMW_C>3") << QByteArray("</LMW_C>")
            << "[3|]";
        QTest::newRow("a closing tag split across the text and the chunk")
            << QByteArray("<LMW_C>4</LM") << QByteArray("<LMW_C>4</LM") << QByteArray("W_C>")
            << "[4|]";
        QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray("<LMW_C></LMW_C>")
                                 << "[|]";
    }
    void setBufferReestablishesTheState() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, kept);
        QFETCH(QByteArray, next);
        QFETCH(QString, trace);
        for (const char* before : {"", "<LMW_C>open", "<LMW"}) {
            RequestFramer framer(kOpenC, kCloseC);
            framer.Feed(before);
            framer.SetBuffer(text.toStdString());
            QCOMPARE(QByteArray::fromStdString(framer.Buffer()), kept);
            QCOMPARE(QString::fromStdString(Trace(framer, {next})), trace);
        }
    }

    // Random streams over the tag characters, cut into random chunks, give
    // the same requests as the unbounded framing, with and without the
    // leftover handed back, and the buffer stays bounded.
    void matchesTheUnboundedFraming() {
        std::mt19937 random(1234);
        const std::string alphabet = "<LMW_C/P>ab";
        for (int round = 0; round < 3000; ++round) {
            const std::size_t max = round % 3 == 0 ? 12 : RequestFramer::kMaxRequest;
            const bool handBack = round % 5 != 0;
            RequestFramer framer(kOpenC, kCloseC, max);
            ReferenceFramer reference(kOpenC, kCloseC, max);
            for (int n = 0; n < 30; ++n) {
                std::string chunk(random() % 12, ' ');
                for (char& c : chunk) {
                    c = alphabet[random() % alphabet.size()];
                }
                if (random() % 4 == 0) {
                    chunk.insert(random() % (chunk.size() + 1), random() % 2 ? kOpenC : kCloseC);
                }
                auto got = framer.Feed(chunk);
                auto want = reference.Feed(chunk);
                QCOMPARE(got.has_value(), want.has_value());
                if (got) {
                    QCOMPARE(got->body, want->body);
                    QCOMPARE(got->leftover, want->leftover);
                    QVERIFY(framer.Buffer().empty());
                    const std::string back = handBack ? got->leftover : std::string();
                    framer.SetBuffer(back);
                    reference.SetBuffer(back);
                }
                if (HasNoOpening(framer.Buffer(), kOpenC)) {
                    QVERIFY(framer.Buffer().size() < kOpenC.size());
                } else {
                    QCOMPARE(framer.Buffer().substr(0, kOpenC.size()), kOpenC);
                    QVERIFY(framer.Buffer().size() <= kOpenC.size() + max + chunk.size());
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRequestFramer)
#include "tst_requestframer.moc"
