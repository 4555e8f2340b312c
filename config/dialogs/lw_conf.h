#pragma once

#include "config/dialogs/serialdevicelist.h"
#include "config/dialogs/settingsdialog.h"
#include "config/profilefile.h"
#include "config/settings.h"
#include "core/messagebox.h"
#include "core/redirectionswitch.h"

#include <vector>

class QCheckBox;
class QComboBox;

namespace loomway {

// The communication settings dialog: the handheld port (comPP), the modem
// port (comMP) and the common speed (comSpeed). Under each port box a list of
// the machine's serial devices (comPPDevice, comMPDevice) shows the device the
// port number stands for ([Ports] COM<n>, or /dev/ttyS<n-1>) and lets the user
// map the number to another device.
class LW_CONF : public SettingsDialog {
    Q_OBJECT
public:
    LW_CONF(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
            MessageBox& messages, SerialDeviceList& devices, QWidget* owner);

    // Loads the settings into the boxes and shows the dialog, centred on the
    // screen, with the owner disabled.
    void Open();

private:
    void cmdOK_Click();
    void SaveDeviceChoice(QComboBox* portBox, QComboBox* deviceBox);
    void ShowMappedDevice(QComboBox* portBox, QComboBox* deviceBox);
    void FillDeviceList(QComboBox* deviceBox);
    void CentreOnScreen();

    ProfileFile& m_file;
    Settings& m_settings;
    RedirectionSwitch& m_redirection;
    MessageBox& m_messages;
    SerialDeviceList& m_devices;
    std::vector<SerialDevice> m_deviceEntries;

    QComboBox* m_comPP;
    QComboBox* m_comMP;
    QComboBox* m_comSpeed;
    QComboBox* m_comPPDevice;
    QComboBox* m_comMPDevice;
    QCheckBox* m_chkReconnect; // [Ports] Reconnect
};

// The text a device list shows for a device: "path — description", or the
// path alone when there is no description.
QString DeviceEntryText(const SerialDevice& device);

// The device path a device list's text stands for: the path of the entry it
// shows, else the text itself (up to a " — " it may carry), blanks removed.
std::string DevicePathOfText(const QString& text);

} // namespace loomway
