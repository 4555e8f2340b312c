#include "platform/programstarter.h"

#include "lines/commandline.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace loomway {

std::optional<std::vector<std::string>>
DetachedProgramStarter::SplitCommandLine(const std::string& commandLine) {
    return loomway::SplitCommandLine(commandLine);
}

bool DetachedProgramStarter::StartProgram(const std::string& commandLine) {
    const QString whole = QString::fromStdString(commandLine).trimmed();
    QString program;
    QStringList arguments;
    const QFileInfo asFile(whole);
    if (!whole.isEmpty() && asFile.isFile() && asFile.isExecutable()) {
        program = whole;
    } else {
        const auto words = SplitCommandLine(commandLine);
        if (!words || words->empty() || words->front().empty()) {
            return false;
        }
        program = QString::fromStdString(words->front());
        for (std::size_t i = 1; i < words->size(); ++i) {
            arguments << QString::fromStdString((*words)[i]);
        }
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // The program gets nothing of ours to read or write: no terminal.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace loomway
