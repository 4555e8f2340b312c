// The relay path of the program with two changes under test, for bench/run-bench:
//  * BacklogPort: a serial adapter that reports its output backlog and a
//    written event (so the pump can hold a faster source back), bounds its
//    read buffer, and takes a write that would block (EAGAIN, which
//    QSerialPort reports as ResourceError) for what it is, not a lost device;
//  * with LOOMWAY_PROTO_COALESCE=1, a view that hands counters, panes and
//    lamps to the window at most every 16 ms (the newest state wins).
// Reads COM1/COM2 from $XDG_CONFIG_HOME/LOOMWAY.INI like the program.
#include "config/settings.h"
#include "core/datapump.h"
#include "core/traffic.h"
#include "platform/iniprofilefile.h"
#include "platform/qtclipboard.h"
#include "platform/qtprintersurface.h"
#include "services/clipboardengine.h"
#include "services/printengine.h"
#include "ui/lw_main.h"

#include <QApplication>
#include <QClipboard>
#include <QSerialPort>
#include <QTimer>

#include <cstdlib>
#include <poll.h>

using namespace loomway;

namespace {

class BacklogPort : public SerialPort {
public:
    explicit BacklogPort(std::string device) : m_device(std::move(device)) {
        QObject::connect(&m_port, &QSerialPort::readyRead, [this] { Raise(m_receive); });
        QObject::connect(&m_port, &QSerialPort::bytesWritten, [this](qint64) { Raise(m_written); });
        QObject::connect(
            &m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
                if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError) {
                    return;
                }
                pollfd state{static_cast<int>(m_port.handle()), POLLOUT, 0};
                if (e == QSerialPort::ResourceError && ::poll(&state, 1, 0) >= 0 &&
                    !(state.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                    m_port.clearError(); // a write that would block: retried when writable
                    return;
                }
                m_port.close();
            });
        m_port.setReadBufferSize(64 * 1024);
    }
    void SetPortNumber(int number) override { m_number = number; }
    int PortNumber() const override { return m_number; }
    void SetSettings(const std::string&) override {}
    void Open() override {
        m_port.setPortName(QString::fromStdString(m_device));
        if (!m_port.open(QIODevice::ReadWrite)) {
            throw PortError{8012, m_port.errorString().toStdString()};
        }
        m_port.setBaudRate(115200);
    }
    void Close() override { m_port.close(); }
    bool IsOpen() const override { return m_port.isOpen(); }
    std::size_t BytesWaiting() const override { return std::size_t(m_port.bytesAvailable()); }
    std::string ReadAll() override {
        const QByteArray data = m_port.readAll();
        return std::string(data.constData(), std::size_t(data.size()));
    }
    void Write(const std::string& data) override {
        if (!m_port.isOpen()) {
            throw PortError{8018, "Operation valid only when the port is open"};
        }
        m_port.write(data.data(), qint64(data.size()));
        pollfd ready{static_cast<int>(m_port.handle()), POLLOUT, 0};
        if (::poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT)) {
            m_port.flush();
        }
    }
    void SetReceiveHandler(std::function<void()> handler) override {
        m_receive = std::move(handler);
    }
    void RequeueReceiveEvent() override {
        QTimer::singleShot(0, &m_port, [this] {
            if (m_port.isOpen() && m_port.bytesAvailable() > 0) {
                Raise(m_receive);
            }
        });
    }
    void SetLostHandler(std::function<void(const PortError&)>) override {}
    std::size_t BytesToWrite() const override {
        return m_port.isOpen() ? std::size_t(m_port.bytesToWrite()) : 0;
    }
    void SetWrittenHandler(std::function<void()> handler) override {
        m_written = std::move(handler);
    }

private:
    static void Raise(const std::function<void()>& handler) {
        if (handler) {
            handler();
        }
    }
    std::string m_device;
    int m_number = 0;
    std::function<void()> m_receive;
    std::function<void()> m_written;
    QSerialPort m_port;
};

class CoalescingView : public TrafficView, public LampPanel {
public:
    explicit CoalescingView(LW_Main& window) : m_window(window) {
        m_timer.setSingleShot(true);
        m_timer.setInterval(16);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Apply(); });
    }
    void ShowCounter(Counter counter, const std::string& label) override {
        m_counters[int(counter)] = label;
        Arm();
    }
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override {
        m_panes[int(pane)] = {text, caretToEnd};
        Arm();
    }
    void SetLamp(Lamp lamp, const std::string& code) override {
        m_lamps[int(lamp)] = code;
        Arm();
    }

private:
    void Arm() {
        if (!m_timer.isActive()) {
            m_timer.start();
        }
    }
    void Apply() {
        for (int i = 0; i < 2; ++i) {
            if (m_counters[i]) {
                m_window.ShowCounter(Counter(i), *std::exchange(m_counters[i], std::nullopt));
            }
            if (m_panes[i]) {
                const auto [text, caret] = *std::exchange(m_panes[i], std::nullopt);
                m_window.ShowPane(Pane(i), text, caret);
            }
        }
        for (int i = 0; i < 6; ++i) {
            if (m_lamps[i]) {
                m_window.SetLamp(Lamp(i), *std::exchange(m_lamps[i], std::nullopt));
            }
        }
    }
    LW_Main& m_window;
    QTimer m_timer;
    std::optional<std::string> m_counters[2];
    std::optional<std::pair<std::string, bool>> m_panes[2];
    std::optional<std::string> m_lamps[6];
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    IniProfileFile file(IniProfileFile::DefaultPath());
    Settings settings;
    LoadMethods(file, settings);

    LW_Main window;
    CoalescingView coalescing(window);
    const bool coalesce = std::getenv("LOOMWAY_PROTO_COALESCE") != nullptr;
    TrafficView& view = coalesce ? static_cast<TrafficView&>(coalescing) : window;
    LampPanel& lamps = coalesce ? static_cast<LampPanel&>(coalescing) : window;

    BacklogPort handheld(PortDevice(file, 1));
    BacklogPort modem(PortDevice(file, 2));
    handheld.Open();
    modem.Open();
    Traffic traffic(view);
    QtPrinterSurface printer;
    PrintEngine print(printer, handheld, traffic, lamps);
    QtClipboard clipboard(*QGuiApplication::clipboard());
    ClipboardRedirect clipboardEngine(clipboard, lamps);
    DataPump pump(settings, handheld, modem, print, clipboardEngine, traffic, lamps);
    handheld.SetReceiveHandler([&pump] { pump.OnHandheldData(); });
    modem.SetReceiveHandler([&pump] { pump.OnModemData(); });
    QTimer lampTimer;
    QObject::connect(&lampTimer, &QTimer::timeout, [&lamps] { LampTimerTick(lamps); });
    lampTimer.start(2000);

    traffic.ResetBoth();
    window.SetDisplay("ALL");
    window.show();
    return app.exec();
}
