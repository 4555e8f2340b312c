#pragma once

#include "core/lamps.h"
#include "core/mainwindowcontrol.h"
#include "core/statuspanel.h"
#include "core/traffic.h"
#include "ui/lamppictures.h"
#include "ui/mainmenus.h"

#include <QMainWindow>
#include <QSize>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace loomway {

class AboutWindow;
class ClickLabel;
class DataPane;

// The main window: the lamps, the counters, the two data panes, the status
// bar, the menus and the display modes.
class LW_Main : public QMainWindow,
                public LampPanel,
                public TrafficView,
                public StatusPanel,
                public MainWindowControl {
    Q_OBJECT
public:
    // Commands of other layers, filled in by the program's composition. A menu
    // item whose command is not given is disabled; a click whose command is
    // not given does nothing.
    struct Hooks {
        std::function<void()> toggleRedirection; // imgOnOff click
        std::function<void()> sendToClip;        // Send_to_Clip
        std::function<void()> clearPanes;        // "S&niffer"
        std::function<void()> resetCounters;     // "B&ytes"
        std::function<void()> resetBoth;         // "&Both"
        std::function<void()> quit;              // "&Exit" and the close box
        std::function<void()> activated;         // the window became the active one
        std::function<void()> methodsDialog;     // "&ReDirection Methods"
        std::function<void()> preferencesDialog; // "Startup &Preferences"
        std::function<void()> commDialog;        // "&Serial Communications"
        std::function<void()> trafficMonitor;    // "Traffic &Monitor"
        std::function<void()> toggleCapture;     // "Start &Capture..." / "Stop &Capture"
    };

    explicit LW_Main(QWidget* parent = nullptr);
    ~LW_Main() override;

    void SetHooks(Hooks hooks);

    // LampPanel
    void SetLamp(Lamp lamp, const std::string& code) override;
    // Alternates every kBlinkMs until the next SetLamp on the lamp.
    void BlinkLamp(Lamp lamp, const std::string& litCode, const std::string& darkCode) override;
    static constexpr int kBlinkMs = 500;
    // TrafficView
    void ShowCounter(Counter counter, const std::string& label) override;
    void ShowPane(Pane pane, const std::string& text, bool caretToEnd) override;
    // Draws the lamp pictures and counter labels still waiting for the next frame.
    void FlushFrame();
    // Traffic lamps, counters and panes are drawn together, at most once per
    // frame of this length (25 a second).
    static constexpr int kFrameMs = 40;
    // StatusPanel
    void ShowStatus(const std::string& text) override;
    void ShowNotice(const std::string& text) override;

    // MainWindowControl
    void SetCaption(const std::string& caption) override;
    long ScreenWidth() const override;
    long ScreenHeight() const override;
    long Left() const override;
    long Top() const override;
    void MoveLeft(long twips) override;
    void MoveTop(long twips) override;
    bool IsNormalState() const override;
    void SetHideMenuChecked(bool checked) override;
    bool HideMenuChecked() const override;
    // Sizes the window for "LED_ONLY", "SENDREC", "FULL" or "ALL" and shows or
    // hides the menu bar and the status bar.
    void SetDisplay(const std::string& mode) override;
    void OpenCommSettingsDialog() override;
    void EndApplication() override;
    // True once EndApplication ran: the event loop must not be started.
    bool ApplicationEnded() const { return m_ended; }

    // Sends the computer's clipboard to the handheld.
    void Send_to_Clip();
    void ShowAbout();
    // The File menu's capture item offers to stop (true) or to start a capture.
    void SetCaptureRunning(bool running);

    const MainMenus& Menus() const { return m_menus; }
    const LampPictures& Pictures() const { return m_pictures; }
    // The store whose picture the lamp shows.
    LampPicture LampShows(Lamp lamp) const;
    // The current height of the status bar, in twips.
    double StatusBarTwips() const;

signals:
    // A frame's changes were handed to the window for painting; other
    // windows showing the traffic draw theirs along.
    void frameDrawn();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildArrangement();
    void BuildStatusBar();
    void ConnectMenus();
    void ShowMenus(bool visible);
    void ApplyOuterSize();
    void RunHook(const std::function<void()>& hook);
    void ShowAll();
    void StartFrame();
    // Shows the picture the lamp is to show, and tells it to a screen reader.
    void ShowLampPicture(std::size_t lamp);
    void BlinkTick();

    LampPictures m_pictures;
    MainMenus m_menus;
    Hooks m_hooks;
    std::array<ClickLabel*, 6> m_lamps{};
    std::array<LampPicture, 6> m_shown{};
    ClickLabel* m_sentCounter = nullptr;
    ClickLabel* m_receivedCounter = nullptr;
    DataPane* m_sendPane = nullptr;
    DataPane* m_receivePane = nullptr;
    ClickLabel* m_statusPanel1 = nullptr;
    ClickLabel* m_statusPanel2 = nullptr;
    AboutWindow* m_about = nullptr;
    // The outer size the last display mode asked for, in twips.
    std::optional<std::pair<double, double>> m_outerTwips;
    QSize m_appliedFrame;
    bool m_ended = false;
    bool m_focusWasInProgram = false; // one of the program's windows had the focus
    bool m_activatedBefore = false;
    // Changes that wait for the next frame (a busy relay changes the lamps and
    // the counters with every chunk; the screen needs them once per frame).
    std::array<bool, 6> m_lampPending{};
    std::array<std::optional<std::string>, 2> m_counterPending;
    std::array<bool, 2> m_panePending{};
    QTimer m_frame;
    // The blinking lamp and its two pictures.
    QTimer m_blink;
    std::optional<Lamp> m_blinkLamp;
    std::array<LampPicture, 2> m_blinkPictures{};
};

} // namespace loomway
