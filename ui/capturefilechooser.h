#pragma once

#include "capture/captureencoder.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace loomway {

struct CaptureChoice {
    std::string path;
    CaptureFormat format = CaptureFormat::Pppdump;
};

// Asks the user where a capture goes and in which format; nothing when the
// user cancels.
class CaptureFileChooser {
public:
    virtual ~CaptureFileChooser() = default;
    virtual std::optional<CaptureChoice> Choose(QWidget* parent) = 0;
};

// The standard file-save dialog with the pppdump format first and the hex
// log second; a name without an ending gets the chosen format's.
class DialogCaptureFileChooser : public CaptureFileChooser {
public:
    std::optional<CaptureChoice> Choose(QWidget* parent) override;
};

inline constexpr const char* kPppdumpFilter = "pppdump capture, opens in Wireshark (*.pppd)";
inline constexpr const char* kHexLogFilter = "Hex log (*.txt)";

// The dialog DialogCaptureFileChooser shows, set up but not yet run.
std::unique_ptr<QFileDialog> MakeCaptureFileDialog(QWidget* parent, const QString& startFolder);

// The user's answer in the dialog: the file and the format of the chosen filter.
CaptureChoice CaptureChoiceOf(const QString& file, const QString& filter);

} // namespace loomway
