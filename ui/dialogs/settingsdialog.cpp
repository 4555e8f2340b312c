#include "ui/dialogs/settingsdialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace loomway {

SettingsDialog::SettingsDialog(QWidget* owner, const QString& captionPart)
    : QDialog(owner), m_ok(new QPushButton(QStringLiteral("&OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancel"), this)), m_owner(owner) {
    setWindowTitle(QStringLiteral("Palm Loomway") + captionPart);
    setModal(false);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter in a list box must not press a button of its own accord.
    m_ok->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SettingsDialog::~SettingsDialog() {
    ReleaseOwner();
}

void SettingsDialog::done(int result) {
    const bool ownerWasLocked = m_ownerLocked;
    ReleaseOwner();
    QDialog::done(result);
    // The main window becomes the active one again, with or without a window
    // manager to hand it the focus.
    if (ownerWasLocked && m_owner) {
        m_owner->activateWindow();
    }
}

bool SettingsDialog::BeginOpening() {
    if (isVisible()) {
        raise();
        activateWindow();
        return false;
    }
    if (m_owner) {
        setWindowIcon(m_owner->windowIcon());
        m_owner->setEnabled(false);
        m_ownerLocked = true;
    }
    // Disabling the owner disables its child windows too; this one stays usable.
    setEnabled(true);
    return true;
}

void SettingsDialog::FinishOpening() {
    show();
    activateWindow();
}

void SettingsDialog::ReleaseOwner() {
    if (m_ownerLocked && m_owner) {
        m_owner->setEnabled(true);
    }
    m_ownerLocked = false;
}

QHBoxLayout* SettingsDialog::ButtonRow() {
    auto* row = new QHBoxLayout;
    row->addWidget(m_cancel);
    row->addStretch(1);
    row->addWidget(m_ok);
    return row;
}

QComboBox* MakeEditableList(QWidget* parent, const char* name, const QString& toolTip) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setToolTip(toolTip);
    return box;
}

void RefuseTyping(QComboBox* box) {
    // A read-only line keeps typed characters, Backspace, Delete, pasting and
    // dropping out, while the arrow keys and the drop-down still pick entries.
    box->lineEdit()->setReadOnly(true);
}

void FillList(QComboBox* box, const QStringList& entries) {
    box->clear();
    box->addItems(entries);
    ShowText(box, entries.value(0));
}

void ShowText(QComboBox* box, const QString& text) {
    const int entry = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    box->setCurrentIndex(entry);
    box->setEditText(text);
}

} // namespace loomway
