#include "ui/dialogs/fileprogramchooser.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

#include <exception>

namespace loomway {

namespace {

// Hides what cannot be started. Linux programs carry no name ending, so the
// file dialog's name filters alone cannot tell them apart.
class ExecutableFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files == nullptr) {
            return true;
        }
        return ListedInProgramChooser(files->fileInfo(files->index(row, 0, parent)));
    }
};

} // namespace

bool ListedInProgramChooser(const QFileInfo& entry) {
    if (entry.isDir()) {
        return true;
    }
    return entry.isFile() && entry.isExecutable();
}

QString ProgramChooserStartFolder() {
    const QString palm = QDir::home().filePath(QStringLiteral("Palm"));
    return QFileInfo(palm).isDir() ? palm : QDir::homePath();
}

QString CommandLineWord(const QString& path) {
    static const QString special = QStringLiteral(" \t\"'\\");
    if (std::none_of(path.begin(), path.end(), [](QChar c) { return special.contains(c); })) {
        return path;
    }
    // Single quotes keep everything as written; a quote inside is closed,
    // escaped and reopened, as a shell reads it.
    QString quoted = path;
    quoted.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

std::unique_ptr<QFileDialog> MakeProgramFileDialog(QWidget* parent, const QString& title,
                                                   const QString& startFolder) {
    auto dialog = std::make_unique<QFileDialog>(parent, title, startFolder);
    // The proxy model needs Qt's own dialog.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(QStringLiteral("Executable (*)"));
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setProxyModel(new ExecutableFilter(dialog.get()));
    return dialog;
}

ProgramChooser::Result FileProgramChooser::Choose(QWidget* parent, const QString& title,
                                                  const QString& startFolder) {
    try {
        auto dialog = MakeProgramFileDialog(parent, title, startFolder);
        if (dialog->exec() != QDialog::Accepted) {
            return {Outcome::Cancelled, {}};
        }
        const QStringList files = dialog->selectedFiles();
        if (files.isEmpty() || files.first().isEmpty()) {
            return {Outcome::Failed, {}};
        }
        return {Outcome::Chosen, QDir::cleanPath(QFileInfo(files.first()).absoluteFilePath())};
    } catch (const std::exception&) {
        return {Outcome::Failed, {}};
    }
}

} // namespace loomway
