#pragma once

#include "ui/dialogs/programchooser.h"

#include <QFileInfo>
#include <QString>

#include <memory>

class QFileDialog;

namespace loomway {

// The standard file-open dialog, showing folders and executable files only.
class FileProgramChooser : public ProgramChooser {
public:
    Result Choose(QWidget* parent, const QString& title, const QString& startFolder) override;
};

// The dialog FileProgramChooser shows, set up but not yet run.
std::unique_ptr<QFileDialog> MakeProgramFileDialog(QWidget* parent, const QString& title,
                                                   const QString& startFolder);

// Whether the program chooser lists this entry: folders, to move through,
// and files the user may execute.
bool ListedInProgramChooser(const QFileInfo& entry);

// The folder the chooser starts in: ~/Palm when it exists, else the home folder.
QString ProgramChooserStartFolder();

// A path as one word of a command line as a POSIX shell splits it (and so
// the exit program's starter): unchanged when it holds no blank, tab, quote
// or backslash, else in single quotes.
QString CommandLineWord(const QString& path);

} // namespace loomway
