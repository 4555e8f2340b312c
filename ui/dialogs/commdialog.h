#pragma once

#include "config/profilefile.h"
#include "config/settings.h"
#include "core/messagebox.h"
#include "core/redirectionswitch.h"
#include "core/serialdevicelist.h"
#include "ui/dialogs/settingsdialog.h"

#include <vector>

class QCheckBox;
class QComboBox;

namespace loomway {

// The communication settings dialog: the handheld port, the modem port and
// the common speed. Under each port box a list of the machine's serial
// devices shows the device the port number stands for ([Ports] COM<n>, or
// /dev/ttyS<n-1>) and lets the user map the number to another device or to a
// network endpoint (tcp:, telnet:, rfc2217:, modem:; the modem's list offers
// examples), whose form OK checks.
class CommDialog : public SettingsDialog {
    Q_OBJECT
public:
    CommDialog(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
               MessageBox& messages, SerialDeviceList& devices, QWidget* owner);

    // Loads the settings into the boxes and shows the dialog, centred on the
    // screen, with the owner disabled.
    void Open();

private:
    void OnOkClicked();
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

    QComboBox* m_handheldPort;
    QComboBox* m_modemPort;
    QComboBox* m_speed;
    QComboBox* m_handheldDevice;
    QComboBox* m_modemDevice;
    QCheckBox* m_reconnect; // [Ports] Reconnect
};

// The text a device list shows for a device: "path — description", or the
// path alone when there is no description.
QString DeviceEntryText(const SerialDevice& device);

// The device path a device list's text stands for: the path of the entry it
// shows, else the text itself (up to a " — " it may carry), blanks removed.
std::string DevicePathOfText(const QString& text);

} // namespace loomway
