// The Help menu's two pages: HTML made from the README and the change log,
// found beside the program's folder (share/doc/loomway), never in the source
// tree, with the README's picture next to them.

#include "ui/lw_main.h"
#include "ui/mainmenus.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace loomway;

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TestHelpPages : public QObject {
    Q_OBJECT
private slots:
    void pagesAreHtmlBesideTheProgram_data() {
        QTest::addColumn<int>("item"); // 0 the user guide, 1 what's new
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("heading");
        QTest::newRow("user guide") << 0 << "README.html"
                                    << "<h1>Palm Loomway</h1>";
        QTest::newRow("change log") << 1 << "CHANGELOG.html"
                                    << "<h1>Palm Loomway: what";
    }
    void pagesAreHtmlBesideTheProgram() {
        QFETCH(int, item);
        QFETCH(QString, page);
        QFETCH(QString, heading);
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        LW_Main window;
        (item == 0 ? window.Menus().m_lmwhome : window.Menus().m_whatsnew)->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.urls.size(), qsizetype(1));
        const QString path = recorder.urls[0].toLocalFile();
        QCOMPARE(path, QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                       QStringLiteral("/../share/doc/loomway/") + page));
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QVERIFY(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        QVERIFY2(html.contains(heading), qPrintable(html.left(300)));
        // Every picture the page shows stands beside it.
        const QRegularExpression image(QStringLiteral("<img src=\"([^\"]+)\""));
        for (const auto& m : image.globalMatch(html)) {
            QVERIFY2(QFileInfo::exists(QFileInfo(path).dir().filePath(m.captured(1))),
                     qPrintable(m.captured(1)));
        }
        QCOMPARE(html.contains(QStringLiteral("<img ")), item == 0);
    }
};

QTEST_MAIN(TestHelpPages)
#include "tst_helppages.moc"
