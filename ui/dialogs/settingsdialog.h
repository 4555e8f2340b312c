#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <string>

class QComboBox;
class QHBoxLayout;
class QPushButton;

namespace loomway {

// What the three settings dialogs share: the caption "Palm Loomway" followed
// by their own part, the owner (the main window) disabled while the dialog is
// open and enabled again however it closes (OK, Cancel, Escape, the close box,
// or the dialog being destroyed), and the Cancel/OK row.
//
// The dialogs are not modal. Keep one instance per dialog: Open() on a dialog
// that is already open only brings it to the front.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(QWidget* owner, const QString& captionPart);
    ~SettingsDialog() override;

    void done(int result) override;

protected:
    // Disables the owner and shows the dialog. Returns false (and only raises
    // the dialog) when it is already open.
    bool BeginOpening();
    void FinishOpening();
    void ReleaseOwner();

    // Cancel at the bottom left, OK at the bottom right.
    QHBoxLayout* ButtonRow();
    QPushButton* m_ok;
    QPushButton* m_cancel;

private:
    QPointer<QWidget> m_owner;
    bool m_ownerLocked = false;
};

// An editable drop-down list with the given object name and tooltip. Its text
// is taken as typed: no completion, no new entries on Enter.
QComboBox* MakeEditableList(QWidget* parent, const char* name, const QString& toolTip);

// The list refuses typing: only an entry picked from it (or a text the program
// sets) stands in it.
void RefuseTyping(QComboBox* box);

// Clears the list and fills it with entries; its text becomes the first one.
void FillList(QComboBox* box, const QStringList& entries);

// Shows text in the list, as its current entry when it is one (so the arrow
// keys go on from there), else as a text of its own.
void ShowText(QComboBox* box, const QString& text);

// Settings values are UTF-8 text.
inline QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string FromQt(const QString& text) {
    return text.toStdString();
}

} // namespace loomway
