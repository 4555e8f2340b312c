#include "ui/dialogs/commdialog.h"

#include "config/numbertext.h"
#include "lines/endpoint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <exception>

namespace loomway {

namespace {

const QString kDeviceSeparator = QStringLiteral(" \u2014 ");

const QStringList kPorts = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                            "9", "10", "11", "12", "13", "14", "15", "16"};
const QStringList kSpeeds = {"110",   "300",   "1200",  "2400",  "4800",  "9600",
                             "19200", "28800", "38400", "57600", "115200"};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QString& toolTip) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(toolTip);
    return label;
}

// The port number a box's text stands for, as the switch-on opens it; 0 when
// the text is no number.
int PortNumberOf(const QString& text) {
    return static_cast<int>(
        std::clamp<long>(PortNumberOfText(FromQt(text)).value_or(0), INT_MIN, INT_MAX));
}

std::string PortsKey(int n) {
    return "COM" + std::to_string(n);
}

// What else the modem side can be, offered under the machine's devices.
const std::vector<SerialDevice> kModemExamples = {
    {"modem:", "built-in modem, dials the numbers of [Phonebook]"},
    {"ppp:", "built-in PPP gateway, the handheld online over a direct cable"},
    {"telnet:bbs.example.org:23", "telnet host, e.g. a BBS"},
    {"tcp:localhost:2323", "raw TCP"},
    {"rfc2217:localhost:3333", "remote serial port, e.g. ser2net"},
};

} // namespace

QString DeviceEntryText(const SerialDevice& device) {
    if (device.description.empty()) {
        return ToQt(device.path);
    }
    return ToQt(device.path) + kDeviceSeparator + ToQt(device.description);
}

std::string DevicePathOfText(const QString& text) {
    const qsizetype separator = text.indexOf(kDeviceSeparator);
    return FromQt((separator < 0 ? text : text.left(separator)).trimmed());
}

CommDialog::CommDialog(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
                       MessageBox& messages, SerialDeviceList& devices, QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Communication")), m_file(file), m_settings(settings),
      m_redirection(redirection), m_messages(messages), m_devices(devices) {
    setObjectName(QStringLiteral("CommDialog"));
    const QString palmTip =
        QStringLiteral("This is the COM Port that the Cradle (or Ir Port) uses.");
    const QString modemTip = QStringLiteral("This is the COM Port that your Modem uses.");
    const QString deviceTip = QStringLiteral(
        "The serial device that this COM Port number stands for, or a network endpoint:\n"
        "tcp:HOST:PORT, telnet:HOST:PORT, rfc2217:HOST:PORT, modem: (the built-in modem)\n"
        "or ppp: (the built-in PPP gateway to the desktop's network).");

    // Plain-text stand-ins for the pictures of the two sides.
    auto* handheldCaption = MakeLabel(this, "picPalmPort", QStringLiteral("Palm Device"), {});
    auto* handheldPortLabel = MakeLabel(this, "Label1", QStringLiteral("COM Port"), palmTip);
    m_handheldPort = MakeEditableList(this, "comPP", palmTip);
    auto* handheldDeviceLabel = MakeLabel(this, "lblPPDevice", QStringLiteral("Device"), deviceTip);
    m_handheldDevice = MakeEditableList(this, "comPPDevice", deviceTip);

    auto* modemCaption = MakeLabel(this, "picrmtprt", QStringLiteral("Modem"), {});
    auto* modemPortLabel = MakeLabel(this, "lblMP", QStringLiteral("COM Port"), modemTip);
    m_modemPort = MakeEditableList(this, "comMP", modemTip);
    auto* modemDeviceLabel = MakeLabel(this, "lblMPDevice", QStringLiteral("Device"), deviceTip);
    m_modemDevice = MakeEditableList(this, "comMPDevice", deviceTip);

    auto* speedLabel =
        MakeLabel(this, "lblSpeed", QStringLiteral("Speed for Both Ports"),
                  QStringLiteral("Speed in which the Modem and the Palm Device will Communicate."));
    m_speed = MakeEditableList(
        this, "comSpeed",
        QStringLiteral("Speed in which the Palm Device and the Remote (Modem) will Communicate."));

    // Each label names its box, also for a screen reader.
    handheldPortLabel->setBuddy(m_handheldPort);
    handheldDeviceLabel->setBuddy(m_handheldDevice);
    modemPortLabel->setBuddy(m_modemPort);
    modemDeviceLabel->setBuddy(m_modemDevice);
    speedLabel->setBuddy(m_speed);

    m_reconnect = new QCheckBox(QStringLiteral("Reconnect a &lost device when it is back"), this);
    m_reconnect->setObjectName(QStringLiteral("chkReconnect"));
    m_reconnect->setToolTip(
        QStringLiteral("When a device goes away while redirection is on, wait for it and "
                       "reopen it by itself, instead of switching redirection off."));

    RefuseTyping(m_handheldPort);
    RefuseTyping(m_speed);
    m_handheldDevice->setMinimumContentsLength(28);
    m_modemDevice->setMinimumContentsLength(28);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(handheldCaption, row++, 0, 1, 2);
    grid->addWidget(handheldPortLabel, row, 0);
    grid->addWidget(m_handheldPort, row++, 1);
    grid->addWidget(handheldDeviceLabel, row, 0);
    grid->addWidget(m_handheldDevice, row++, 1);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(modemCaption, row++, 0, 1, 2);
    grid->addWidget(modemPortLabel, row, 0);
    grid->addWidget(m_modemPort, row++, 1);
    grid->addWidget(modemDeviceLabel, row, 0);
    grid->addWidget(m_modemDevice, row++, 1);
    grid->setRowMinimumHeight(row++, 8);
    grid->addWidget(speedLabel, row, 0);
    grid->addWidget(m_speed, row++, 1);
    grid->addWidget(m_reconnect, row++, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow());

    setTabOrder(m_handheldPort, m_handheldDevice);
    setTabOrder(m_handheldDevice, m_modemPort);
    setTabOrder(m_modemPort, m_modemDevice);
    setTabOrder(m_modemDevice, m_speed);
    setTabOrder(m_speed, m_reconnect);
    setTabOrder(m_reconnect, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, [this] { OnOkClicked(); });
    connect(m_handheldPort, &QComboBox::editTextChanged, this,
            [this] { ShowMappedDevice(m_handheldPort, m_handheldDevice); });
    connect(m_modemPort, &QComboBox::editTextChanged, this,
            [this] { ShowMappedDevice(m_modemPort, m_modemDevice); });
}

void CommDialog::Open() {
    if (!BeginOpening()) {
        return;
    }
    LoadCommSettings(m_file, m_settings);

    m_deviceEntries = m_devices.Devices();
    FillDeviceList(m_handheldDevice);
    FillDeviceList(m_modemDevice);
    for (const SerialDevice& example : kModemExamples) {
        m_modemDevice->addItem(DeviceEntryText(example));
    }

    FillList(m_handheldPort, kPorts);
    if (m_settings.SourcePort) {
        ShowText(m_handheldPort, QString::number(*m_settings.SourcePort));
    }
    FillList(m_modemPort, kPorts);
    if (m_settings.DestinationPort) {
        ShowText(m_modemPort, ToQt(*m_settings.DestinationPort).trimmed());
    }
    m_speed->clear();
    m_speed->addItems(kSpeeds);
    ShowText(m_speed, kSpeeds.at(6));
    if (m_settings.CommonSpeed) {
        ShowText(m_speed, QString::number(LeadingNumber(*m_settings.CommonSpeed)));
    }
    // Filling the port boxes showed their devices already; the explicit calls
    // cover a text that did not change.
    ShowMappedDevice(m_handheldPort, m_handheldDevice);
    ShowMappedDevice(m_modemPort, m_modemDevice);
    m_reconnect->setChecked(ReconnectOn(m_file));

    m_handheldPort->setFocus();
    CentreOnScreen();
    FinishOpening();
}

void CommDialog::OnOkClicked() {
    try {
        const QString palmText = m_handheldPort->currentText();
        const QString modemText = m_modemPort->currentText();
        const QString speedText = m_speed->currentText();
        m_settings.SourcePort = PortSetting(PortNumberOf(palmText));
        m_settings.DestinationPort = CommSetting(std::to_string(PortNumberOf(modemText)));
        m_settings.CommonSpeed = CommSetting(FromQt(speedText));

        // Two numbers that stand for one device are the same port as well.
        const std::string palmDevice = DevicePathOfText(m_handheldDevice->currentText());
        const bool sameDevice =
            !palmDevice.empty() && palmDevice == DevicePathOfText(m_modemDevice->currentText());
        const bool samePort =
            PortNumberOfText(FromQt(palmText)) &&
            PortNumberOfText(FromQt(palmText)) == PortNumberOfText(FromQt(modemText));
        if (samePort || sameDevice) {
            m_messages.Show("Invalid Assignment",
                            "Ports specified cannot be the same.\n"
                            "Please select a different COM\n"
                            "port for each one specified.",
                            MessageIcon::Exclamation, MessageButtons::Ok);
            return;
        }
        for (QComboBox* deviceBox : {m_handheldDevice, m_modemDevice}) {
            const std::string chosen = DevicePathOfText(deviceBox->currentText());
            const EndpointParse parsed = ParseEndpoint(chosen, EndpointUse::Port);
            if (!chosen.empty() && !parsed.endpoint) {
                m_messages.Show("Invalid Device", parsed.error, MessageIcon::Exclamation,
                                MessageButtons::Ok);
                deviceBox->setFocus();
                return;
            }
        }
        WriteSetting(m_file, "Source", "Port", FromQt(palmText));
        WriteSetting(m_file, "Destination", "Port", FromQt(modemText));
        WriteSetting(m_file, "Common", "Speed", FromQt(speedText));
        SaveDeviceChoice(m_handheldPort, m_handheldDevice);
        SaveDeviceChoice(m_modemPort, m_modemDevice);
        if (m_reconnect->isChecked() != ReconnectOn(m_file)) {
            WriteSetting(m_file, "Ports", "Reconnect", m_reconnect->isChecked() ? "YES" : "NO");
        }
    } catch (const PortError& error) {
        m_redirection.ReportPortError(error.code, error.description);
        return;
    } catch (const std::exception& error) {
        m_redirection.ReportPortError(PortError::Code::None, error.what());
        return;
    }
    accept();
}

void CommDialog::SaveDeviceChoice(QComboBox* portBox, QComboBox* deviceBox) {
    const int n = PortNumberOf(portBox->currentText());
    if (n < 1) {
        return;
    }
    const std::string chosen = DevicePathOfText(deviceBox->currentText());
    if (chosen == PortDevice(m_file, n)) {
        return;
    }
    if (chosen.empty()) {
        // An emptied box gives the number back its default device.
        if (!ReadSetting(m_file, "Ports", PortsKey(n)).empty()) {
            WriteSetting(m_file, "Ports", PortsKey(n), "");
        }
        return;
    }
    WriteSetting(m_file, "Ports", PortsKey(n), chosen);
}

void CommDialog::ShowMappedDevice(QComboBox* portBox, QComboBox* deviceBox) {
    const int n = PortNumberOf(portBox->currentText());
    if (n < 1) {
        deviceBox->setCurrentIndex(-1);
        deviceBox->setEditText(QString());
        return;
    }
    const std::string device = PortDevice(m_file, n);
    for (int i = 0; i < deviceBox->count(); ++i) {
        if (DevicePathOfText(deviceBox->itemText(i)) == device) {
            deviceBox->setCurrentIndex(i);
            deviceBox->setEditText(deviceBox->itemText(i));
            return;
        }
    }
    deviceBox->setCurrentIndex(-1);
    deviceBox->setEditText(ToQt(device));
}

void CommDialog::FillDeviceList(QComboBox* deviceBox) {
    deviceBox->clear();
    for (const SerialDevice& device : m_deviceEntries) {
        deviceBox->addItem(DeviceEntryText(device));
    }
}

void CommDialog::CentreOnScreen() {
    adjustSize();
    QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

} // namespace loomway
