#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace loomway {

// A failure of a serial port operation. The callers tell apart NoSuchPort,
// PortAlreadyOpen (or held by another program), DeviceUnavailable (the device
// cannot be opened) and PortNotOpen; every other code is reported with its
// number and description.
struct PortError {
    // The numbers are the ones the user's messages show.
    enum class Code {
        None = 0, // not a port failure: another error, shown the same way
        Overflow = 6,
        TypeMismatch = 13,
        PermissionDenied = 70,
        InvalidProperty = 380,
        NoSuchPort = 8002,
        PortAlreadyOpen = 8005,
        DeviceUnavailable = 8012,
        PortNotOpen = 8018,
    };

    Code code = Code::None;
    std::string description;
    // A line the user's message adds below the fixed text of the four known
    // codes. Set by ports that are no serial device (network endpoints), where
    // the fixed text alone does not say what went wrong; empty otherwise.
    std::string detail = {};

    int Number() const { return static_cast<int>(code); }
};

// One serial port (handheld side or modem side), 8N1, no flow control.
// Chunks are std::string with one char per byte; nothing is translated.
// Every operation that fails throws PortError.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // 1-based port number; a negative number fails at once (InvalidProperty).
    virtual void SetPortNumber(int number) = 0;
    virtual int PortNumber() const = 0;
    // The speed in plain decimal followed by ",N,8,1"; anything else fails
    // (InvalidProperty).
    virtual void SetSettings(const std::string& settings) = 0;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual std::size_t BytesWaiting() const = 0;
    // Everything waiting, in arrival order; afterwards nothing is waiting.
    virtual std::string ReadAll() = 0;
    // All of data, in order; fails with PortNotOpen when the port is not open.
    virtual void Write(const std::string& data) = 0;

    // Called on the user-interface thread whenever bytes have arrived.
    virtual void SetReceiveHandler(std::function<void()> handler) = 0;
    // Raises the receive event once more, queued on the event loop, if bytes
    // are still waiting (QSerialPort only signals new arrivals).
    virtual void RequeueReceiveEvent() = 0;
    // Called once, queued, after the device went away while open; the port is
    // already closed when it runs.
    virtual void SetLostHandler(std::function<void(const PortError&)> handler) = 0;

    // Bytes handed to Write that the device has not taken yet (0 when the
    // port hands everything over at once).
    virtual std::size_t BytesToWrite() const { return 0; }
    // Called on the user-interface thread after the device took some of the
    // bytes that were waiting to be written.
    virtual void SetWrittenHandler(std::function<void()> handler) { (void)handler; }

    // The name under which the device of the last successful Open() shows up
    // again after it went away: its stable name where it has one, else the
    // path it was opened by. Empty: nothing that can be waited for (no local
    // device, or never opened).
    virtual std::string DeviceName() const { return {}; }
    // What the far end still has to say before the port closes, taken once
    // right before Close(): a PPP gateway's Terminate-Request, so that the
    // handheld ends its session cleanly. Empty for ports with nothing to say.
    virtual std::string TakeLastWords() { return {}; }
    // Opens the device of DeviceName() again at the settings of the last
    // Open(), even where the port number now stands for another path.
    virtual void Reopen() { Open(); }
};

} // namespace loomway
