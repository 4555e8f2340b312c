#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "core/messagebox.h"
#include "core/redirectionswitch.h"
#include "ui/dialogs/settingsdialog.h"

class QComboBox;

namespace loomway {

// The redirection methods dialog: serial (to modem), print and clipboard
// redirection, each "YES" or "NO" or whatever the user types.
class MethodsDialog : public SettingsDialog {
    Q_OBJECT
public:
    MethodsDialog(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
                  MessageBox& messages, QWidget* owner);

    // Reads the method switches from the file into the boxes and shows the
    // dialog with the owner disabled.
    void Open();

private:
    void OnOkClicked();

    ProfileFile& m_file;
    Settings& m_settings;
    RedirectionSwitch& m_redirection;
    MessageBox& m_messages;

    QComboBox* m_serialMethod;
    QComboBox* m_printMethod;
    QComboBox* m_clipboardMethod;
};

} // namespace loomway
