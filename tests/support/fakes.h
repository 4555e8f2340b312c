#pragma once

// Fakes of the logic's interfaces, for unit tests. Adapters are tested
// against the real thing in tests/platform.

#include "config/profilefile.h"
#include "core/lamps.h"
#include "core/messagebox.h"
#include "core/serialport.h"
#include "core/statuspanel.h"
#include "core/traffic.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace loomway::test {

inline std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Lamps and pictures by name, for readable call logs.
inline std::string LampName(Lamp lamp) {
    const char* const names[] = {"Power", "Receive", "ModemSend", "Printer", "Clipboard", "Switch"};
    return names[int(lamp)];
}
inline std::string PictureName(LampPicture picture) {
    const char* const names[] = {
        "PowerOn",   "PowerOff",   "ReceiveOn",   "ReceiveOff",   "ModemSendOn",     "ModemSendOff",
        "PrinterOn", "PrinterOff", "ClipboardOn", "ClipboardOff", "ClipboardFlying", "SwitchOn",
        "SwitchOff", "DarkGreen",  "LightGreen",  "DarkRed",      "LightRed"};
    return names[int(picture)];
}

// Settings in memory: sections and keys without regard to case, values trimmed.
class MemoryProfileFile : public ProfileFile {
public:
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize) override {
        auto it = m_values.find({lower(section), lower(key)});
        std::string value = it == m_values.end() ? defaultValue : it->second;
        auto first = value.find_first_not_of(" \t");
        auto last = value.find_last_not_of(" \t");
        value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        if (bufferSize > 0 && value.size() > bufferSize - 1) {
            value.resize(bufferSize - 1);
        }
        return value;
    }
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override {
        writes.push_back({section, key, value});
        if (failWrites) {
            return false;
        }
        m_values[{lower(section), lower(key)}] = value;
        return true;
    }
    void set(const std::string& section, const std::string& key, const std::string& value) {
        m_values[{lower(section), lower(key)}] = value;
    }

    struct Write {
        std::string section, key, value;
    };
    std::vector<Write> writes;
    bool failWrites = false;

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};

// A serial port in memory. Tests push bytes with arrive(), read what the
// program wrote from written, and make Open and Write fail with openError
// and writeError.
class FakeSerialPort : public SerialPort {
public:
    void SetPortNumber(int number) override {
        calls.push_back("SetPortNumber " + std::to_string(number));
        if (number < 0) {
            throw PortError{PortError::Code::InvalidProperty, "Invalid property value"};
        }
        m_number = number;
    }
    int PortNumber() const override { return m_number; }
    void SetSettings(const std::string& text) override { calls.push_back("SetSettings " + text); }
    void Open() override {
        calls.push_back("Open");
        if (openError.code != PortError::Code::None) {
            throw openError;
        }
        if (m_open) {
            throw PortError{PortError::Code::PortAlreadyOpen, "Port already open"};
        }
        m_open = true;
    }
    void Close() override {
        calls.push_back("Close");
        m_open = false;
    }
    bool IsOpen() const override { return m_open; }
    std::size_t BytesWaiting() const override { return m_waiting.size(); }
    std::string ReadAll() override { return std::exchange(m_waiting, std::string()); }
    void Write(const std::string& data) override {
        if (!m_open) {
            throw PortError{PortError::Code::PortNotOpen,
                            "Operation valid only when the port is open"};
        }
        if (writeError.code != PortError::Code::None) {
            throw writeError;
        }
        written += data;
        writes.push_back(data);
    }
    void SetReceiveHandler(std::function<void()> handler) override {
        m_receive = std::move(handler);
    }
    void RequeueReceiveEvent() override { ++requeues; }
    std::string TakeLastWords() override { return std::exchange(lastWords, {}); }
    void SetLostHandler(std::function<void(const PortError&)> handler) override {
        m_lost = std::move(handler);
    }

    // The device goes away: the port is closed and the lost handler runs.
    void loseDevice(const PortError& error) {
        m_open = false;
        if (m_lost) {
            m_lost(error);
        }
    }
    // Bytes arrive from the far end; raises the receive event when asked.
    void arrive(const std::string& data, bool raiseEvent = true) {
        m_waiting += data;
        if (raiseEvent && m_receive) {
            m_receive();
        }
    }
    void raiseReceive() { arrive({}); }
    void forceOpen(bool open) { m_open = open; }

    std::vector<std::string> calls;
    std::string written;
    std::vector<std::string> writes;
    std::string lastWords;
    PortError openError{}, writeError{};
    int requeues = 0;

private:
    int m_number = 0;
    bool m_open = false;
    std::string m_waiting;
    std::function<void()> m_receive;
    std::function<void(const PortError&)> m_lost;
};

class RecordingLampPanel : public LampPanel {
public:
    void SetLamp(Lamp lamp, LampPicture picture) override { calls.push_back({lamp, picture}); }
    struct Call {
        Lamp lamp;
        LampPicture picture;
    };
    std::vector<Call> calls;
};

class RecordingMessageBox : public MessageBox {
public:
    struct Message {
        std::string title, text;
        MessageIcon icon;
        MessageButtons buttons;
        MessageAnswer defaultButton;
    };
    MessageAnswer Show(const std::string& title, const std::string& text, MessageIcon icon,
                       MessageButtons buttons, MessageAnswer defaultButton) override {
        messages.push_back({title, text, icon, buttons, defaultButton});
        if (answers.empty()) {
            return buttons == MessageButtons::Ok ? MessageAnswer::Ok : defaultButton;
        }
        MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<Message> messages;
    std::deque<MessageAnswer> answers; // given in turn; else the default button
};

class RecordingStatusPanel : public StatusPanel {
public:
    void ShowStatus(const std::string& text) override {
        status = text;
        ++updates;
    }
    void ShowNotice(const std::string& text) override { notice = text; }
    std::string status, notice;
    int updates = 0;
};

class RecordingTrafficView : public TrafficView {
public:
    void ShowCounter(Counter counter, const std::string& label) override {
        labels[counter] = label;
    }
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override {
        panes[pane] = text;
        caretAtEnd[pane] = caretToEnd;
    }
    std::map<Counter, std::string> labels;
    std::map<Pane, std::string> panes;
    std::map<Pane, bool> caretAtEnd;
};

} // namespace loomway::test
