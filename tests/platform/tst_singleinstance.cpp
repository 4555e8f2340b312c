// One running copy per user. The other copies are this test binary started
// again in a child mode that takes the lock and reports what it found.
#include "platform/singleinstance.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace loomway;

namespace {

const char* const kAskMode = "--ask-instance";   // prints "another" or "alone", ends
const char* const kHoldMode = "--hold-instance"; // prints the answer, then waits to be killed

int ChildMode(bool hold, const char* path) {
    int argc = 1;
    char name[] = "loomway-instance";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(path));
    std::printf("%s\n", instance.AnotherInstanceRunning() ? "another" : "alone");
    std::fflush(stdout);
    if (hold) {
        for (;;) {
            QThread::sleep(60);
        }
    }
    return 0;
}

QString AskFromAnotherProcess(const QString& path) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kAskMode), path});
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("no answer");
    }
    return QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void lockLivesInTheRuntimeFolder();
    void secondHolderInAnotherProcessIsRefused();
    void firstCopyKeepsItsLockAndFreesItAtTheEnd();
    void staleLockOfAKilledProcessIsRecovered();
    void unusableFolderDoesNotKeepTheProgramFromStarting();
};

void TestSingleInstance::lockLivesInTheRuntimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QVERIFY(!runtime.isEmpty());
    QCOMPARE(SingleInstance::DefaultLockPath(),
             QDir(runtime).filePath(QStringLiteral("loomway.lock")));
    SingleInstance instance;
    QVERIFY(!instance.AnotherInstanceRunning());
    QVERIFY(QFile::exists(QDir(runtime).filePath(QStringLiteral("loomway.lock"))));
}

void TestSingleInstance::secondHolderInAnotherProcessIsRefused() {
    const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("second.lock"));
    SingleInstance first(path);
    QVERIFY(!first.AnotherInstanceRunning());
    QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("another"));
    // Asking again gives the same answer and keeps the lock.
    QVERIFY(!first.AnotherInstanceRunning());
    QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("another"));
}

void TestSingleInstance::firstCopyKeepsItsLockAndFreesItAtTheEnd() {
    const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("end.lock"));
    {
        SingleInstance first(path);
        QVERIFY(!first.AnotherInstanceRunning());
        // A refused second copy leaves the first one's lock in place.
        QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("another"));
        QVERIFY(QFile::exists(path));
        QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("another"));
    }
    QVERIFY(!QFile::exists(path));
    QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("alone"));
}

void TestSingleInstance::staleLockOfAKilledProcessIsRecovered() {
    const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("stale.lock"));
    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(), {QLatin1String(kHoldMode), path});
    QVERIFY(holder.waitForStarted());
    QVERIFY(holder.waitForReadyRead(30000));
    QCOMPARE(QString::fromLocal8Bit(holder.readLine()).trimmed(), QStringLiteral("alone"));

    // While the holder lives, this process is the second copy.
    {
        SingleInstance second(path);
        QVERIFY(second.AnotherInstanceRunning());
    }
    QVERIFY(QFile::exists(path));

    // Killed without a chance to clean up: the lock file stays behind.
    ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(30000));
    QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::exists(path));

    SingleInstance next(path);
    QVERIFY(!next.AnotherInstanceRunning());
    QCOMPARE(AskFromAnotherProcess(path), QStringLiteral("another"));
}

void TestSingleInstance::unusableFolderDoesNotKeepTheProgramFromStarting() {
    const QString folder = QDir(test::scratchDir()).filePath(QStringLiteral("no-such-folder"));
    SingleInstance instance(QDir(folder).filePath(QStringLiteral("loomway.lock")));
    QVERIFY(!instance.AnotherInstanceRunning());
}

int main(int argc, char* argv[]) {
    if (argc == 3 && (qstrcmp(argv[1], kAskMode) == 0 || qstrcmp(argv[1], kHoldMode) == 0)) {
        return ChildMode(qstrcmp(argv[1], kHoldMode) == 0, argv[2]);
    }
    QCoreApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
