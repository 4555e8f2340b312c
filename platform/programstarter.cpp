#include "platform/programstarter.h"

#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace loomway {

std::optional<std::vector<std::string>>
DetachedProgramStarter::SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else if (c == '\'') {
            const auto end = commandLine.find('\'', i + 1);
            if (end == std::string::npos) {
                return std::nullopt;
            }
            word.append(commandLine, i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (c == '"') {
            std::size_t j = i + 1;
            for (; j < commandLine.size() && commandLine[j] != '"'; ++j) {
                const char next = j + 1 < commandLine.size() ? commandLine[j + 1] : '\0';
                if (commandLine[j] == '\\' &&
                    (next == '"' || next == '\\' || next == '$' || next == '`')) {
                    ++j;
                }
                word += commandLine[j];
            }
            if (j >= commandLine.size()) {
                return std::nullopt;
            }
            i = j;
            inWord = true;
        } else if (c == '\\') {
            if (i + 1 >= commandLine.size()) {
                return std::nullopt;
            }
            word += commandLine[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
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
