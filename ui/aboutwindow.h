#pragma once

#include <QDialog>

namespace loomway {

// The About window: product name, version, what the program does, the two
// documents of the Help menu and an OK button. Shown without waiting.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

} // namespace loomway
