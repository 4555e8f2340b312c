#include "ui/qtmessagebox.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QString>

namespace loomway {

namespace {

QMessageBox::StandardButton standardButton(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    case MessageAnswer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

QWidget* QtMessageBox::Owner() const {
    // Over the window the user works in: the active one of this program's
    // windows, or, while a settings dialog holds the main window disabled,
    // that dialog.
    if (QWidget* active = QApplication::activeWindow(); active != nullptr && active->isEnabled()) {
        return active;
    }
    if (m_parent != nullptr && !m_parent->isEnabled()) {
        for (QDialog* dialog : m_parent->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
            if (dialog->isVisible() && dialog->isEnabled()) {
                return dialog;
            }
        }
    }
    return m_parent;
}

MessageAnswer QtMessageBox::Show(const std::string& title, const std::string& text,
                                 MessageIcon icon, MessageButtons buttons,
                                 MessageAnswer defaultButton) {
    QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromStdString(title), QString::fromStdString(text),
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
                    Owner());
    box.setTextFormat(Qt::PlainText);
    if (buttons == MessageButtons::YesNo) {
        // Yes is the first button and the default unless No is asked for.
        const MessageAnswer chosen =
            defaultButton == MessageAnswer::No ? MessageAnswer::No : MessageAnswer::Yes;
        box.setDefaultButton(standardButton(chosen));
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Ok;
    }
}

} // namespace loomway
