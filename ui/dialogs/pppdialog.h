#pragma once

#include "config/pppsettings.h"
#include "config/profilefile.h"
#include "core/messagebox.h"
#include "ui/dialogs/settingsdialog.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace loomway {

// The built-in PPP gateway's settings ([PPP]): the handheld's network, whether
// the gateway address reaches the desktop's loopback, and the login the
// handheld must give (the password masked). OK refuses a network that is not
// one, with a message, and stays open. A running session keeps the settings
// it started with.
class PppDialog : public SettingsDialog {
    Q_OBJECT
public:
    PppDialog(ProfileFile& file, MessageBox& messages, QWidget* owner);

    // Reads [PPP] into the fields and shows the dialog with the owner disabled.
    void Open();

private:
    void ShowAddresses();
    void OnOkClicked();

    ProfileFile& m_file;
    MessageBox& m_messages;
    PppSettingTexts m_read;

    QComboBox* m_network;
    QLabel* m_addresses;
    QComboBox* m_desktop;
    QLineEdit* m_user;
    QLineEdit* m_password;
};

} // namespace loomway
