// The program among other processes: one running copy per user, the exit
// program started detached, exit signals. The other processes are this
// binary started again in a mode that says what it was given and found.
#include "platform/exitsignals.h"
#include "platform/programstarter.h"
#include "platform/singleinstance.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

using namespace loomway;
using loomway::test::scratchDir;

namespace {
QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

class TestProcesses : public QObject {
    Q_OBJECT
private slots:
    void oneCopy() {
        QCOMPARE(SingleInstance::DefaultLockPath(),
                 qEnvironmentVariable("XDG_RUNTIME_DIR") + "/loomway.lock");
        const QString path = scratchDir() + "/loomway.lock";
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
        QVERIFY(!SingleInstance(scratchDir() + "/missing/loomway.lock").AnotherInstanceRunning());
    }

    void split_data() {
        test::addRows({"line", "words"}, // words joined by "|", "invalid" when it is not one
                      {{"plain", "prog a b", "prog|a|b"},
                       {"blanks", "  prog \t a  ", "prog|a"},
                       {"double quotes", "\"/opt/my prog\" \"x y\"", "/opt/my prog|x y"},
                       {"single quotes", "p 'a\\b \"c\"'", "p|a\\b \"c\""},
                       {"escapes", "p \"a\\\"b\\\\c\\$d\\e\"", "p|a\"b\\c$d\\e"},
                       {"backslash", "p a\\ b \\'", "p|a b|'"},
                       {"joined", "p pre'mid'\"post\"", "p|premidpost"},
                       {"empty words", "p \"\" ''", "p||"},
                       {"no expansion", "p $HOME ~ *", "p|$HOME|~|*"},
                       {"unterminated", "p \"abc", "invalid"},
                       {"unterminated single", "p 'abc", "invalid"},
                       {"trailing backslash", "p abc\\", "invalid"}});
    }
    void split() {
        QFETCH(QString, line);
        QFETCH(QString, words);
        const auto split = DetachedProgramStarter::SplitCommandLine(line.toStdString());
        QStringList got;
        for (const auto& w : split.value_or(std::vector<std::string>{"invalid"})) {
            got << QString::fromStdString(w);
        }
        QCOMPARE(got.join("|"), words);
    }

    // The exit program is started once, not as our child, in a session of
    // its own, reading nothing; what cannot be started says so.
    void startsDetachedOnce() {
        const QString record = scratchDir() + "/started.txt";
        QVERIFY(QDir().mkpath(scratchDir() + "/exit program"));
        const QString program = scratchDir() + "/exit program/recorder";
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), program));
        DetachedProgramStarter starter;
        QVERIFY(starter.StartProgram(
            ("'" + program + "' --record '" + record + "' \"two words\" ''").toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(Contents(record).endsWith("END\n"), 20000);
        QTest::qWait(300);
        const QList<QByteArray> lines = Contents(record).split('\n');
        QCOMPARE(lines.value(0), QByteArray("ARGS|two words|"));
        QVERIFY(lines.value(1) != "PPID " + QByteArray::number(::getpid()));
        QVERIFY(lines.value(2) != "SID " + QByteArray::number(::getsid(0)));
        QCOMPARE(lines.value(3), QByteArray("STDIN /dev/null"));
        QCOMPARE(Contents(record).count("END\n"), 1);
        const QString plain = scratchDir() + "/plain.txt";
        QFile(plain).open(QIODevice::WriteOnly);
        for (const std::string& line :
             {std::string(), std::string("   "), std::string("\"\""),
              std::string("prog \"unterminated"), std::string("loomway-no-such-program"),
              plain.toStdString()}) {
            QVERIFY2(!starter.StartProgram(line), line.c_str());
        }
    }

    // SIGTERM, SIGINT and SIGHUP arrive as one queued call each on the
    // user-interface thread, from this process, another thread or another
    // process; the former handlers come back.
    void exitSignalsOnce() {
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
        QCOMPARE(handler(SIGTERM), before);
        int count = 0;
        ExitSignals again([&](int) { ++count; });
        ::raise(SIGTERM);
        QTRY_COMPARE(count, 1);
    }
};

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], "--record") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        QByteArray record = "ARGS";
        for (int i = 3; i < argc; ++i) {
            record += QByteArray("|") + argv[i];
        }
        record += "\nPPID " + QByteArray::number(::getppid()) + "\nSID " +
                  QByteArray::number(::getsid(0)) + "\nSTDIN " +
                  QFileInfo("/proc/self/fd/0").symLinkTarget().toLocal8Bit() + "\nEND\n";
        return file.open(QIODevice::Append) && file.write(record) > 0 ? 0 : 2;
    }
    QCoreApplication app(argc, argv);
    if (argc == 3) { // --ask or --hold
        SingleInstance instance(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n", instance.AnotherInstanceRunning() ? "another" : "alone");
        std::fflush(stdout);
        while (qstrcmp(argv[1], "--hold") == 0) {
            QThread::sleep(60);
        }
        return 0;
    }
    TestProcesses test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_processes.moc"
