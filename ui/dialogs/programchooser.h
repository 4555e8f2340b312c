#pragma once

#include <QString>

class QWidget;

namespace loomway {

// Picks the program to start when Palm Loomway ends.
class ProgramChooser {
public:
    enum class Outcome { Chosen, Cancelled, Failed };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString path; // the full path, when chosen
    };

    virtual ~ProgramChooser() = default;
    virtual Result Choose(QWidget* parent, const QString& title, const QString& startFolder) = 0;
};

} // namespace loomway
