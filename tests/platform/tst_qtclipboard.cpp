#include "platform/qtclipboard.h"
#include "services/clipboardengine.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>
#include <string>

using namespace loomway;
using namespace loomway::test;

namespace {

// Runs xclip to the end while this process keeps serving the selection.
QByteArray xclipOut(const QString& target) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                 QStringLiteral("-t"), target});
    if (!xclip.waitForStarted()) {
        qWarning("xclip did not start");
        return {};
    }
    QSignalSpy finished(&xclip, &QProcess::finished);
    if (!finished.wait(10000)) {
        xclip.kill();
        xclip.waitForFinished();
        qWarning("xclip -o did not finish");
        return {};
    }
    return xclip.readAllStandardOutput();
}

// Another process that owns the clipboard with data of the given type until
// it is stopped (or loses the selection).
std::unique_ptr<QProcess> xclipIn(const QByteArray& data, const QString& target) {
    auto xclip = std::make_unique<QProcess>();
    xclip->start(QStringLiteral("xclip"),
                 {QStringLiteral("-i"), QStringLiteral("-quiet"), QStringLiteral("-selection"),
                  QStringLiteral("clipboard"), QStringLiteral("-t"), target});
    if (!xclip->waitForStarted()) {
        qWarning("xclip did not start");
        return xclip;
    }
    xclip->write(data);
    xclip->closeWriteChannel();
    return xclip;
}

void stop(std::unique_ptr<QProcess>& process) {
    if (process && process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished();
    }
    process.reset();
}

bool offers(const char* format) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return data != nullptr && data->hasFormat(QString::fromLatin1(format));
}

std::string latin1Sample() {
    std::string text = "tab\there\r\nline\n";
    for (int c = 0x20; c < 0x100; ++c) {
        if (c != 0x7f && (c < 0x80 || c >= 0xa0)) {
            text += static_cast<char>(c);
        }
    }
    return text;
}

} // namespace

class TestQtClipboard : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QProcess> m_owner;

private slots:
    void cleanup() { stop(m_owner); }

    // A fresh X server: nobody owns the clipboard.
    void emptyClipboardHasNoText() {
        QtClipboard clipboard(*QGuiApplication::clipboard());
        QCOMPARE(clipboard.GetText(), std::optional<std::string>());
    }

    // Bytes put on the clipboard are Latin-1 characters to the other process.
    void setTextIsLatin1ForOtherProcesses() {
        QtClipboard clipboard(*QGuiApplication::clipboard());
        const std::string text = latin1Sample();
        clipboard.SetText(text);
        const QString asText = QString::fromLatin1(text.data(), qsizetype(text.size()));
        QCOMPARE(QString::fromUtf8(xclipOut(QStringLiteral("UTF8_STRING"))), asText);
        QCOMPARE(xclipOut(QStringLiteral("UTF8_STRING")), asText.toUtf8());
        // Our own read gives back the same bytes.
        QCOMPARE(clipboard.GetText(), std::optional<std::string>(text));
    }

    void emptyTextIsStillText() {
        QtClipboard clipboard(*QGuiApplication::clipboard());
        clipboard.SetText("");
        QCOMPARE(xclipOut(QStringLiteral("UTF8_STRING")), QByteArray());
        QCOMPARE(clipboard.GetText(), std::optional<std::string>(std::string()));
    }

    // Text owned by another process comes in as Latin-1 bytes; characters
    // without a Latin-1 form, inside or outside the BMP, become one '?' each.
    void getTextFromAnotherProcess_data() {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ascii with CRLF")
            << QStringLiteral("line1\r\nline2") << QByteArray("line1\r\nline2");
        QTest::newRow("latin-1 letters") << QString::fromUtf8("caf\u00e9 \u00fcber \u00ff")
                                         << QByteArray("caf\xe9 \xfc"
                                                       "ber \xff");
        QTest::newRow("euro sign") << QString::fromUtf8("5 \u20ac") << QByteArray("5 \x80");
        QTest::newRow("outside the BMP") << QString::fromUtf8("a\U0001F600b") << QByteArray("a?b");
    }
    void getTextFromAnotherProcess() {
        QFETCH(QString, clip);
        QFETCH(QByteArray, expected);
        QtClipboard clipboard(*QGuiApplication::clipboard());
        m_owner = xclipIn(clip.toUtf8(), QStringLiteral("UTF8_STRING"));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard.GetText(), std::optional<std::string>(bytes(expected)),
                                  10000);
    }

    // A picture on the clipboard is no text.
    void imageIsNoText() {
        const QString png = scratchDir() + QStringLiteral("/dot.png");
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(png));
        QFile file(png);
        QVERIFY(file.open(QIODevice::ReadOnly));
        m_owner = xclipIn(file.readAll(), QStringLiteral("image/png"));
        QTRY_VERIFY_WITH_TIMEOUT(offers("image/png"), 10000);
        QtClipboard clipboard(*QGuiApplication::clipboard());
        QCOMPARE(clipboard.GetText(), std::optional<std::string>());
    }

    // The whole way: a request from the handheld lands on the desktop clipboard
    // with CR LF line ends, and the clipboard of another process goes to the
    // handheld framed, counted and shown.
    void enginesOverTheRealClipboard() {
        QtClipboard clipboard(*QGuiApplication::clipboard());
        RecordingLampPanel lamps;
        ClipboardRedirect engine(clipboard, lamps);
        QVERIFY(!engine.Redirect("<LMW_C>one"));
        QVERIFY(engine.Redirect("\ntwo\xe9</LMW_C>"));
        QCOMPARE(xclipOut(QStringLiteral("UTF8_STRING")), QByteArray("one\r\ntwo\xc3\xa9"));

        m_owner = xclipIn(QByteArray("line1\r\nline2"), QStringLiteral("UTF8_STRING"));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard.GetText(), std::optional<std::string>("line1\r\nline2"),
                                  10000);
        Settings settings;
        settings.ClipboardMethodOn = true;
        FakeSerialPort handheld;
        handheld.forceOpen(true);
        RecordingTrafficView view;
        Traffic traffic(view);
        Send_to_Clip(settings, handheld, clipboard, traffic);
        QCOMPARE(handheld.written, std::string("<LMW_C>line1\nline2</LMW_C>"));
        QCOMPARE(traffic.Count(Counter::BytesReceived), std::uint64_t(26));
    }
};

QTEST_MAIN(TestQtClipboard)
#include "tst_qtclipboard.moc"
