// The exit program is started detached, with its command line split as a
// shell would. The program started here is this test binary itself in a
// "record" mode that writes what it was given to a file and ends.
#include "platform/programstarter.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>

#include <unistd.h>

using namespace loomway;

namespace {

const char* const kRecordMode = "--record-start";

// Child mode: appends one record (arguments, parent, session, what stdin is)
// to the file named by the first argument after the mode.
int RecordStart(int argc, char* argv[]) {
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::Append)) {
        return 2;
    }
    QByteArray record = "ARGS";
    for (int i = 3; i < argc; ++i) {
        record += '|';
        record += argv[i];
    }
    record += "\nPPID " + QByteArray::number(static_cast<qint64>(::getppid()));
    record += "\nSID " + QByteArray::number(static_cast<qint64>(::getsid(0)));
    record +=
        "\nSTDIN " + QFileInfo(QStringLiteral("/proc/self/fd/0")).symLinkTarget().toLocal8Bit();
    record += "\nEND\n";
    file.write(record);
    return 0;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

class TestProgramStarter : public QObject {
    Q_OBJECT
private slots:
    void startsQuotedCommandLineDetachedOnce();
    void wholePathWithBlanksIsOneProgram();
    void missingProgramIsReported();
    void splitsAsAShellWould_data();
    void splitsAsAShellWould();
    void emptyCommandLineStartsNothing();
};

void TestProgramStarter::startsQuotedCommandLineDetachedOnce() {
    const QString record = QDir(test::scratchDir()).filePath(QStringLiteral("started.txt"));
    QFile::remove(record);
    // A path with a blank proves the quoting: the program path itself is quoted.
    const QString linkDir = QDir(test::scratchDir()).filePath(QStringLiteral("exit program"));
    QVERIFY(QDir().mkpath(linkDir));
    const QString program = QDir(linkDir).filePath(QStringLiteral("recorder"));
    QFile::remove(program);
    QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), program));

    const QString commandLine =
        Quoted(program) + QStringLiteral(" ") + QLatin1String(kRecordMode) + QStringLiteral(" ") +
        Quoted(record) +
        QStringLiteral(" \"two words\" plain 'single quoted' \"with \\\"inner\\\" quotes\" "
                       "back\\ slash '' $HOME");
    DetachedProgramStarter starter;
    QVERIFY(starter.StartProgram(commandLine.toStdString()));

    QTRY_VERIFY_WITH_TIMEOUT(Contents(record).endsWith("END\n"), 20000);
    const QList<QByteArray> lines = Contents(record).split('\n');
    QCOMPARE(
        lines.value(0),
        QByteArray("ARGS|two words|plain|single quoted|with \"inner\" quotes|back slash||$HOME"));
    // Detached: not a child of this process, in a session of its own (so no
    // terminal of ours), and reading nothing from us.
    QVERIFY(lines.value(1).startsWith("PPID "));
    QVERIFY(lines.value(1) != "PPID " + QByteArray::number(static_cast<qint64>(::getpid())));
    QVERIFY(lines.value(2).startsWith("SID "));
    QVERIFY(lines.value(2) != "SID " + QByteArray::number(static_cast<qint64>(::getsid(0))));
    QCOMPARE(lines.value(3), QByteArray("STDIN /dev/null"));

    // Exactly one start: give a second copy time to show up, then count.
    QTest::qWait(300);
    QCOMPARE(Contents(record).count("END\n"), 1);
}

void TestProgramStarter::wholePathWithBlanksIsOneProgram() {
    // What a file dialog gives: a full path with blanks and no quotes.
    const QString folder = QDir(test::scratchDir()).filePath(QStringLiteral("Palm Desktop"));
    QVERIFY(QDir().mkpath(folder));
    const QString script = QDir(folder).filePath(QStringLiteral("Hot Sync.sh"));
    const QString ran = QDir(folder).filePath(QStringLiteral("ran.txt"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho \"ran $#\" >> \"$(dirname \"$0\")/ran.txt\"\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    DetachedProgramStarter starter;
    QVERIFY(starter.StartProgram(script.toStdString()));
    QTRY_COMPARE_WITH_TIMEOUT(Contents(ran), QByteArray("ran 0\n"), 20000);
}

void TestProgramStarter::splitsAsAShellWould_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("plain") << "prog a b" << true << QStringList{"prog", "a", "b"};
    QTest::newRow("blanks and tabs") << "  prog \t a  " << true << QStringList{"prog", "a"};
    QTest::newRow("double quotes")
        << "\"/opt/my prog\" \"x y\"" << true << QStringList{"/opt/my prog", "x y"};
    QTest::newRow("single quotes keep backslash")
        << "p 'a\\b \"c\"'" << true << QStringList{"p", "a\\b \"c\""};
    QTest::newRow("escapes in double quotes")
        << "p \"a\\\"b\\\\c\\$d\\e\"" << true << QStringList{"p", "a\"b\\c$d\\e"};
    QTest::newRow("backslash outside quotes")
        << "p a\\ b \\'" << true << QStringList{"p", "a b", "'"};
    QTest::newRow("joined pieces")
        << "p pre'mid'\"post\"" << true << QStringList{"p", "premidpost"};
    QTest::newRow("empty quoted word") << "p \"\" ''" << true << QStringList{"p", "", ""};
    QTest::newRow("no expansion") << "p $HOME ~ *" << true << QStringList{"p", "$HOME", "~", "*"};
    QTest::newRow("empty") << "" << true << QStringList{};
    QTest::newRow("unterminated double") << "p \"abc" << false << QStringList{};
    QTest::newRow("unterminated single") << "p 'abc" << false << QStringList{};
    QTest::newRow("trailing backslash") << "p abc\\" << false << QStringList{};
}

void TestProgramStarter::splitsAsAShellWould() {
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QStringList, words);
    const auto split = DetachedProgramStarter::SplitCommandLine(line.toStdString());
    QCOMPARE(split.has_value(), valid);
    if (split) {
        QStringList got;
        for (const auto& w : *split) {
            got << QString::fromStdString(w);
        }
        QCOMPARE(got, words);
    }
}

void TestProgramStarter::missingProgramIsReported() {
    DetachedProgramStarter starter;
    const QString missing = QDir(test::scratchDir()).filePath(QStringLiteral("no such program"));
    QVERIFY(!starter.StartProgram((Quoted(missing) + QStringLiteral(" --flag")).toStdString()));
    QVERIFY(!starter.StartProgram("loomway-no-such-program-anywhere"));
    // A file that is not executable cannot be started either.
    const QString plain = QDir(test::scratchDir()).filePath(QStringLiteral("plain.txt"));
    QFile text(plain);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a program\n");
    text.close();
    QVERIFY(!starter.StartProgram(plain.toStdString()));
}

void TestProgramStarter::emptyCommandLineStartsNothing() {
    DetachedProgramStarter starter;
    QVERIFY(!starter.StartProgram(""));
    QVERIFY(!starter.StartProgram("   "));
    QVERIFY(!starter.StartProgram("\"\""));
    QVERIFY(!starter.StartProgram("prog \"unterminated"));
}

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], kRecordMode) == 0) {
        return RecordStart(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestProgramStarter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programstarter.moc"
