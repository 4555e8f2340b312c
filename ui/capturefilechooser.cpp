#include "ui/capturefilechooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <exception>

namespace loomway {

std::unique_ptr<QFileDialog> MakeCaptureFileDialog(QWidget* parent, const QString& startFolder) {
    auto dialog =
        std::make_unique<QFileDialog>(parent, QStringLiteral("Capture to File"), startFolder);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(
        {QString::fromLatin1(kPppdumpFilter), QString::fromLatin1(kHexLogFilter)});
    dialog->setDefaultSuffix(QStringLiteral("pppd"));
    QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                     [dialog = dialog.get()](const QString& filter) {
                         dialog->setDefaultSuffix(filter == QLatin1String(kHexLogFilter)
                                                      ? QStringLiteral("txt")
                                                      : QStringLiteral("pppd"));
                     });
    return dialog;
}

CaptureChoice CaptureChoiceOf(const QString& file, const QString& filter) {
    CaptureChoice choice;
    choice.path = QDir::cleanPath(QFileInfo(file).absoluteFilePath()).toStdString();
    choice.format =
        filter == QLatin1String(kHexLogFilter) ? CaptureFormat::HexLog : CaptureFormat::Pppdump;
    return choice;
}

std::optional<CaptureChoice> DialogCaptureFileChooser::Choose(QWidget* parent) {
    try {
        auto dialog = MakeCaptureFileDialog(parent, QDir::homePath());
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return CaptureChoiceOf(dialog->selectedFiles().first(), dialog->selectedNameFilter());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace loomway
