// The exit program: its command line split as a shell would, started
// detached. The program started is this binary in a mode that notes what it
// was given and where it runs.
#include "platform/programstarter.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace loomway;
using loomway::test::scratchDir;

namespace {
QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestProgramStarter : public QObject {
    Q_OBJECT
private slots:
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

    // Started once, not as our child, in a session of its own, reading nothing.
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
    }

    // What cannot be started says so.
    void nothingToStart() {
        QFile plain(scratchDir() + "/plain.txt");
        QVERIFY(plain.open(QIODevice::WriteOnly));
        DetachedProgramStarter starter;
        for (const std::string& line :
             {std::string(), std::string("   "), std::string("\"\""),
              std::string("prog \"unterminated"), std::string("loomway-no-such-program"),
              (scratchDir() + "/plain.txt").toStdString()}) {
            QVERIFY2(!starter.StartProgram(line), line.c_str());
        }
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
    TestProgramStarter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programstarter.moc"
