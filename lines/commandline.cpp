#include "lines/commandline.h"

namespace loomway {

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& commandLine) {
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

} // namespace loomway
