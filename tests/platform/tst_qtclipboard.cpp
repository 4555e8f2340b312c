// The clipboard adapter on the test's Xvfb, against xclip as the other program.
#include "platform/qtclipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QTest>

using loomway::QtClipboard;

namespace {
QByteArray XclipOut() {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"});
    for (int i = 0; i < 1000 && xclip.state() != QProcess::NotRunning; ++i) {
        QTest::qWait(10); // this process serves the selection meanwhile
    }
    return xclip.readAllStandardOutput();
}
} // namespace

class TestQtClipboard : public QObject {
    Q_OBJECT
private slots:
    // Bytes from the handheld are Latin-1 text to other programs; their text
    // comes back as Latin-1 bytes, '?' for a character without one.
    void bothWays() {
        QtClipboard clipboard(*QGuiApplication::clipboard());
        QCOMPARE(clipboard.GetText(), std::optional<std::string>()); // nobody owns it yet
        std::string all = "tab\there\r\nline\n";
        for (int c = 0x20; c < 0x100; ++c) {
            if (c < 0x80 || c >= 0xa0) { // 0x80-0x9F map to Windows-1252
                all += char(c);
            }
        }
        for (const std::string& text : {all, std::string()}) {
            clipboard.SetText(text);
            QCOMPARE(XclipOut(), QString::fromLatin1(text).toUtf8());
            QCOMPARE(clipboard.GetText(), std::optional<std::string>(text));
        }
        for (auto [clip, bytes] : {std::pair{"caf\u00e9\r\n\u00ff", "caf\xe9\r\n\xff"},
                                   {"5 \u20ac a\U0001F600b", "5 \x80 a?b"}}) {
            QProcess owner;
            owner.start("xclip", {"-i", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING"});
            owner.write(clip);
            owner.closeWriteChannel();
            QTRY_COMPARE_WITH_TIMEOUT(clipboard.GetText(), std::optional<std::string>(bytes),
                                      10000);
            owner.kill();
            owner.waitForFinished();
        }
    }

    // A picture on the clipboard is no text.
    void pictureIsNoText() {
        QProcess owner;
        owner.start("xclip", {"-i", "-quiet", "-selection", "clipboard", "-t", "image/png"});
        owner.write(QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR"
                                           "4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC"));
        owner.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"),
                                 10000);
        QCOMPARE(QtClipboard(*QGuiApplication::clipboard()).GetText(),
                 std::optional<std::string>());
        owner.kill();
        owner.waitForFinished();
    }
};

QTEST_MAIN(TestQtClipboard)
#include "tst_qtclipboard.moc"
