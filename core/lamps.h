#pragma once

namespace loomway {

// The six lamps of the main window's front panel; the switch counts as one.
enum class Lamp {
    Power,
    Receive,
    ModemSend,
    Printer,
    Clipboard,
    Switch,
};

// The pictures a lamp can show.
enum class LampPicture {
    PowerOn,
    PowerOff,
    ReceiveOn,
    ReceiveOff,
    ModemSendOn,
    ModemSendOff,
    PrinterOn,
    PrinterOff,
    ClipboardOn,
    ClipboardOff,
    ClipboardFlying,
    SwitchOn,
    SwitchOff,
    // Spare dots, shown by no lamp.
    DarkGreen,
    LightGreen,
    DarkRed,
    LightRed,
};

// Shows the lamps; implemented by the main window's lamp board.
class LampPanel {
public:
    virtual ~LampPanel() = default;
    // Shows picture on lamp.
    virtual void SetLamp(Lamp lamp, LampPicture picture) = 0;
    // Lets lamp alternate between lit and dark until the next SetLamp on it.
    virtual void BlinkLamp(Lamp lamp, LampPicture lit, LampPicture dark) {
        (void)dark;
        SetLamp(lamp, lit);
    }
};

} // namespace loomway
