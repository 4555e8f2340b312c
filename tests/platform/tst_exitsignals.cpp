// SIGTERM, SIGINT and SIGHUP arrive as one queued call each on the
// user-interface thread, from this process, another thread or another process.
#include "platform/exitsignals.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace loomway;

class TestExitSignals : public QObject {
    Q_OBJECT
private slots:
    void eachSignalOnce() {
        const auto handler = [](int s) {
            struct sigaction current = {};
            ::sigaction(s, nullptr, &current);
            return reinterpret_cast<void*>(current.sa_handler);
        };
        void* const before = handler(SIGTERM);
        {
            std::vector<int> calls;
            ExitSignals exits(
                [&](int s) { calls.push_back(QThread::currentThread() == thread() ? s : -s); });
            QVERIFY(exits.Installed() && !ExitSignals([](int) {}).Installed()); // one owner
            ::raise(SIGHUP);
            QVERIFY(calls.empty()); // queued, not run inside the handler
            std::unique_ptr<QThread> other(QThread::create([] { ::raise(SIGINT); }));
            other->start();
            QVERIFY(other->wait(10000));
            QTRY_COMPARE(calls.size(), std::size_t(2));
            QCOMPARE(QProcess::execute(
                         "kill", {"-TERM", QString::number(QCoreApplication::applicationPid())}),
                     0);
            QTRY_COMPARE(calls, (std::vector<int>{SIGHUP, SIGINT, SIGTERM}));
            QTest::qWait(100);
            QCOMPARE(calls.size(), std::size_t(3));
        }
        QCOMPARE(handler(SIGTERM), before); // the former handlers come back
        int count = 0;
        ExitSignals again([&](int) { ++count; });
        ::raise(SIGTERM);
        QTRY_COMPARE(count, 1);
    }
};

QTEST_GUILESS_MAIN(TestExitSignals)
#include "tst_exitsignals.moc"
