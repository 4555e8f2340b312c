#pragma once

#include "core/messagebox.h"

class QWidget;

namespace loomway {

// Shows messages as modal QMessageBoxes over the given window, or over the
// dialog the user works in (the active window, or the dialog that holds the
// given window disabled), so a message raised by a dialog stands over it.
class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : m_parent(parent) {}

    MessageAnswer Show(const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons,
                       MessageAnswer defaultButton = MessageAnswer::Ok) override;

private:
    QWidget* Owner() const;

    QWidget* m_parent;
};

} // namespace loomway
