// SIGTERM, SIGINT and SIGHUP arrive as one queued call each on the
// user-interface thread.
#include "platform/exitsignals.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <csignal>
#include <vector>

using namespace loomway;

namespace {

// The handler in place for signal, whichever form it was installed in.
void* Disposition(int signal) {
    struct sigaction current = {};
    ::sigaction(signal, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(current.sa_sigaction)
                                                : reinterpret_cast<void*>(current.sa_handler);
}

} // namespace

class TestExitSignals : public QObject {
    Q_OBJECT
private slots:
    void eachSignalArrivesAsOneQueuedCall_data();
    void eachSignalArrivesAsOneQueuedCall();
    void signalFromAnotherProcess();
    void severalSignalsGiveOneCallEach();
    void signalOnAnotherThreadStillRunsOnTheUiThread();
    void onlyOneOwnerAndPreviousHandlersComeBack();
};

void TestExitSignals::eachSignalArrivesAsOneQueuedCall_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestExitSignals::eachSignalArrivesAsOneQueuedCall() {
    QFETCH(int, signal);
    std::vector<int> calls;
    QThread* callThread = nullptr;
    ExitSignals exits([&](int s) {
        calls.push_back(s);
        callThread = QThread::currentThread();
    });
    QVERIFY(exits.Installed());
    QSignalSpy spy(&exits, &ExitSignals::ExitRequested);

    QCOMPARE(::raise(signal), 0);
    // Queued: nothing has run inside the signal handler.
    QVERIFY(calls.empty());
    QTRY_COMPARE(calls.size(), std::size_t(1));
    QCOMPARE(calls.front(), signal);
    QCOMPARE(callThread, QThread::currentThread());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), signal);
    // And only one.
    QTest::qWait(100);
    QCOMPARE(calls.size(), std::size_t(1));
}

void TestExitSignals::signalFromAnotherProcess() {
    std::vector<int> calls;
    ExitSignals exits([&](int s) { calls.push_back(s); });
    QCOMPARE(QProcess::execute(
                 QStringLiteral("kill"),
                 {QStringLiteral("-TERM"), QString::number(QCoreApplication::applicationPid())}),
             0);
    QTRY_COMPARE(calls.size(), std::size_t(1));
    QCOMPARE(calls.front(), int(SIGTERM));
}

void TestExitSignals::severalSignalsGiveOneCallEach() {
    std::vector<int> calls;
    ExitSignals exits([&](int s) { calls.push_back(s); });
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    ::raise(SIGINT);
    QTRY_COMPARE(calls.size(), std::size_t(3));
    QCOMPARE(calls, (std::vector<int>{SIGHUP, SIGTERM, SIGINT}));
}

void TestExitSignals::signalOnAnotherThreadStillRunsOnTheUiThread() {
    QThread* callThread = nullptr;
    int count = 0;
    ExitSignals exits([&](int) {
        ++count;
        callThread = QThread::currentThread();
    });
    std::unique_ptr<QThread> thread(QThread::create([] { ::raise(SIGTERM); }));
    thread->start();
    QVERIFY(thread->wait(10000));
    QTRY_COMPARE(count, 1);
    QCOMPARE(callThread, QThread::currentThread());
}

void TestExitSignals::onlyOneOwnerAndPreviousHandlersComeBack() {
    // The test framework has handlers of its own; they are what must come back.
    void* const before[] = {Disposition(SIGTERM), Disposition(SIGINT), Disposition(SIGHUP)};
    {
        ExitSignals first([](int) {});
        QVERIFY(first.Installed());
        QVERIFY(Disposition(SIGTERM) != before[0]);
        QCOMPARE(Disposition(SIGINT), Disposition(SIGTERM));
        QCOMPARE(Disposition(SIGHUP), Disposition(SIGTERM));
        ExitSignals second([](int) {});
        QVERIFY(!second.Installed());
    }
    QCOMPARE(Disposition(SIGTERM), before[0]);
    QCOMPARE(Disposition(SIGINT), before[1]);
    QCOMPARE(Disposition(SIGHUP), before[2]);
    // A new owner can take over after the first has gone.
    int count = 0;
    ExitSignals again([&](int) { ++count; });
    QVERIFY(again.Installed());
    ::raise(SIGINT);
    QTRY_COMPARE(count, 1);
}

QTEST_GUILESS_MAIN(TestExitSignals)
#include "tst_exitsignals.moc"
