// One running copy per user; the other copies are this binary started again.
#include "platform/singleinstance.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace loomway;

namespace {
// Another copy that asks and, with hold, keeps what it got until killed.
QString Ask(QProcess& child, const QString& path, bool hold = false) {
    child.start(QCoreApplication::applicationFilePath(), {hold ? "--hold" : "--ask", path});
    child.waitForReadyRead(30000);
    return QString::fromLocal8Bit(child.readLine()).trimmed();
}
QString Ask(const QString& path) {
    QProcess child;
    const QString answer = Ask(child, path);
    child.waitForFinished();
    return answer;
}
} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void oneCopy() {
        QCOMPARE(SingleInstance::DefaultLockPath(),
                 qEnvironmentVariable("XDG_RUNTIME_DIR") + "/loomway.lock");
        const QString path = test::scratchDir() + "/loomway.lock";
        {
            SingleInstance first(path);
            QVERIFY(!first.AnotherInstanceRunning());
            QCOMPARE(Ask(path), QString("another"));
            QCOMPARE(Ask(path), QString("another")); // a refused copy leaves the lock
            QVERIFY(!first.AnotherInstanceRunning());
        }
        QCOMPARE(Ask(path), QString("alone"));
        // A copy killed without cleaning up leaves a stale lock, taken over.
        QProcess holder;
        QCOMPARE(Ask(holder, path, true), QString("alone"));
        QVERIFY(SingleInstance(path).AnotherInstanceRunning());
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(30000) && QFile::exists(path));
        SingleInstance next(path);
        QVERIFY(!next.AnotherInstanceRunning());
        // A folder that cannot hold a lock keeps no one from starting.
        QVERIFY(
            !SingleInstance(test::scratchDir() + "/missing/loomway.lock").AnotherInstanceRunning());
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 3) {
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n", instance.AnotherInstanceRunning() ? "another" : "alone");
        std::fflush(stdout);
        while (qstrcmp(argv[1], "--hold") == 0) {
            QThread::sleep(60);
        }
        return 0;
    }
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
