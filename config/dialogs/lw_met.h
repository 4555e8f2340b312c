#pragma once

#include "config/dialogs/settingsdialog.h"
#include "config/profilefile.h"
#include "config/settings.h"
#include "core/messagebox.h"
#include "core/redirectionswitch.h"

class QComboBox;

namespace loomway {

// The redirection methods dialog: serial (to modem), print and clipboard
// redirection, each "YES" or "NO" or whatever the user types.
class LW_Met : public SettingsDialog {
    Q_OBJECT
public:
    LW_Met(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
           MessageBox& messages, QWidget* owner);

    // Reads the method switches from the file into the boxes and shows the
    // dialog with the owner disabled.
    void Open();

private:
    void cmdOK_Click();

    ProfileFile& m_file;
    Settings& m_settings;
    RedirectionSwitch& m_redirection;
    MessageBox& m_messages;

    QComboBox* m_comSerialR;
    QComboBox* m_comPrintr;
    QComboBox* m_comClipR;
};

} // namespace loomway
