// The clipboard adapter on the test's Xvfb, against xclip as the other
// program: the handheld's bytes are Windows-1252 text to other programs.
#include "platform/qtclipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QTest>

using loomway::QtClipboard;

namespace {
// The clipboard as another program reads it (this process serves it meanwhile).
QByteArray XclipOut() {
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"});
    for (int i = 0; i < 1000 && xclip.state() != QProcess::NotRunning; ++i) {
        QTest::qWait(10);
    }
    return xclip.readAllStandardOutput();
}

// Another program owning the clipboard with `data` until it is killed.
struct Owner {
    QProcess xclip;
    Owner(const QByteArray& data, const QString& type = "UTF8_STRING") {
        xclip.start("xclip", {"-i", "-quiet", "-selection", "clipboard", "-t", type});
        xclip.write(data);
        xclip.closeWriteChannel();
    }
    ~Owner() { xclip.kill(), xclip.waitForFinished(); }
};

void Rows() {
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QByteArray>("handheld");
    QTest::addColumn<QString>("ways"); // "<" desktop -> handheld, ">" handheld -> desktop
    std::string latin1 = "tab\there\r\nline\n";
    for (int c = 0x20; c < 0x100; ++c) {
        latin1 += c < 0x80 || c >= 0xa0 ? std::string(1, char(c)) : "";
    }
    const QByteArray all = QByteArray::fromStdString(latin1);
    QTest::newRow("latin-1") << QString::fromLatin1(all) << all << "<>";
    QTest::newRow("empty") << QString() << QByteArray() << ">";
    QTest::newRow("quotes, dashes, ellipsis")
        << QString::fromUtf8("\u201ca\u201d \u2018b\u2019 \u2013 \u2014 \u2026")
        << QByteArray("\x93"
                      "a\x94 \x91"
                      "b\x92 \x96 \x97 \x85")
        << "<>";
    QTest::newRow("euro, trade mark, bullet, carons, Y diaeresis")
        << QString::fromUtf8("\u20ac\u2122\u2022\u017d\u017e\u0178")
        << QByteArray("\x80\x99\x95\x8e\x9e\x9f") << "<>";
    QTest::newRow("the handheld's suits")
        << QString::fromUtf8("\u2666\u2665\u2660") << QByteArray("\x8d\x8f\x90") << "<>";
    QTest::newRow("codes without a character") << "??" << QByteArray("\x81\x9d") << ">";
    QTest::newRow("club, C1 control, outside the BMP")
        << QString::fromUtf8("\u2663\u0081\U0001F600") << QByteArray("???") << "<";
}
} // namespace

class TestQtClipboard : public QObject {
    Q_OBJECT
private slots:
    // Our own text first: once another process owned the clipboard, Qt's
    // last X timestamp may be too old to take it back.
    void toDesktop_data() { Rows(); }
    void toDesktop() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, handheld);
        QFETCH(QString, ways);
        if (!ways.contains('>')) {
            QSKIP("no way to the desktop for this row");
        }
        QtClipboard clipboard(*QGuiApplication::clipboard());
        if (QTest::currentDataTag() == QByteArray("latin-1")) {
            QCOMPARE(clipboard.GetText(), std::optional<std::string>()); // nobody owns it yet
        }
        clipboard.SetText(handheld.toStdString());
        QCOMPARE(QString::fromUtf8(XclipOut()), desktop);
        // Read back as the desktop text would be sent to the handheld.
        const QByteArray back = ways == "<>" ? handheld : desktop.toLatin1();
        QCOMPARE(clipboard.GetText(), std::optional<std::string>(back.toStdString()));
    }

    void toHandheld_data() { Rows(); }
    void toHandheld() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, handheld);
        QFETCH(QString, ways);
        if (!ways.contains('<')) {
            QSKIP("no way to the handheld for this row");
        }
        Owner owner(desktop.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(QtClipboard(*QGuiApplication::clipboard()).GetText(),
                                  std::optional<std::string>(handheld.toStdString()), 10000);
    }

    // A picture on the clipboard is no text.
    void pictureIsNoText() {
        Owner owner(QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR"
                                           "4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC"),
                    "image/png");
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"),
                                 10000);
        QCOMPARE(QtClipboard(*QGuiApplication::clipboard()).GetText(),
                 std::optional<std::string>());
    }
};

QTEST_MAIN(TestQtClipboard)
#include "tst_qtclipboard.moc"
