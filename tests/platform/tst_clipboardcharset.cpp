// Clipboard text in the handheld's character set, both ways over the real
// clipboard (Xvfb), read and written by another process (xclip).

#include "platform/qtclipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QTest>

#include <memory>
#include <optional>
#include <string>

using namespace loomway;

namespace {

QByteArray xclip(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral("xclip"),
                  args + QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                     QStringLiteral("-t"), QStringLiteral("UTF8_STRING")});
    process.write(input);
    process.closeWriteChannel();
    // xclip -o needs this process to serve the selection meanwhile.
    while (!process.waitForFinished(10)) {
        QCoreApplication::processEvents();
        if (process.state() == QProcess::NotRunning) {
            break;
        }
    }
    return process.readAllStandardOutput();
}

} // namespace

class TestClipboardCharset : public QObject {
    Q_OBJECT
private slots:
    // Our own text first: once another process owned the clipboard, Qt's
    // last X timestamp may be too old to take it back.
    void toDesktop_data() { bothWays_data(); }
    void toDesktop() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, handheld);
        QFETCH(bool, toDesktop);
        if (!toDesktop) {
            QSKIP("no way to the desktop for this row");
        }
        QtClipboard clipboard(*QGuiApplication::clipboard());
        clipboard.SetText(handheld.toStdString());
        QCOMPARE(QString::fromUtf8(xclip({QStringLiteral("-o")})), desktop);
    }
    void toHandheld_data() { bothWays_data(); }
    void toHandheld() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, handheld);
        QFETCH(bool, toHandheld);
        if (!toHandheld) {
            QSKIP("no way to the handheld for this row");
        }
        QtClipboard clipboard(*QGuiApplication::clipboard());
        // xclip serves the clipboard until the next row's xclip takes it.
        xclip({QStringLiteral("-i")}, desktop.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(clipboard.GetText(),
                                  std::optional<std::string>(handheld.toStdString()), 10000);
    }

private:
    // The rows of both directions.
    static void bothWays_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArray>("handheld");
        QTest::addColumn<bool>("toHandheld"); // desktop text -> these bytes
        QTest::addColumn<bool>("toDesktop");  // these bytes -> desktop text
        QTest::newRow("quotes, dashes, ellipsis")
            << QString::fromUtf8("\u201ca\u201d \u2018b\u2019 \u2013 \u2014 \u2026")
            << QByteArray("\x93"
                          "a\x94 \x91"
                          "b\x92 \x96 \x97 \x85")
            << true << true;
        QTest::newRow("euro, trade mark, bullet") << QString::fromUtf8("\u20ac\u2122\u2022")
                                                  << QByteArray("\x80\x99\x95") << true << true;
        QTest::newRow("Z and z caron, Y diaeresis") << QString::fromUtf8("\u017d\u017e\u0178")
                                                    << QByteArray("\x8e\x9e\x9f") << true << true;
        QTest::newRow("the handheld's suits") << QString::fromUtf8("\u2666\u2665\u2660")
                                              << QByteArray("\x8d\x8f\x90") << true << true;
        QTest::newRow("latin-1 letters, controls")
            << QString::fromUtf8("caf\u00e9\t\u00ff\r\n") << QByteArray("caf\xe9\t\xff\r\n") << true
            << true;
        QTest::newRow("codes without a character")
            << QStringLiteral("??") << QByteArray("\x81\x9d") << false << true;
        QTest::newRow("club, C1 control, outside the BMP")
            << QString::fromUtf8("\u2663\u0081\U0001F600") << QByteArray("???") << true << false;
    }
};

QTEST_MAIN(TestClipboardCharset)
#include "tst_clipboardcharset.moc"
