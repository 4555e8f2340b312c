#pragma once

#include "core/mainwindowcontrol.h"
#include "core/statuspanel.h"
#include "ui/lampboard.h"
#include "ui/mainmenus.h"
#include "ui/trafficpanel.h"

#include <QMainWindow>
#include <QSize>

#include <optional>
#include <string>
#include <utility>

namespace loomway {

class AboutWindow;
class ClickLabel;

// The main window: the arrangement of the lamps, counters and data panes, the
// status bar, the menus and the display modes. Its commands go out as
// signals; the lamps and the traffic are shown by the lamp board and the
// traffic panel it holds.
class MainWindow : public QMainWindow, public StatusPanel, public MainWindowControl {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    LampBoard& Lamps() { return m_lamps; }
    const LampBoard& Lamps() const { return m_lamps; }
    TrafficPanel& Traffic() { return m_traffic; }

    // A menu item is disabled until this finds its signal connected.
    void EnableConnectedCommands();

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
    // Sizes the window for the mode and shows or hides the menu bar and the
    // status bar.
    void SetDisplay(DisplayMode mode) override;
    void OpenCommSettingsDialog() override;
    void EndApplication() override;
    // True once EndApplication ran: the event loop must not be started.
    bool ApplicationEnded() const { return m_ended; }

    void ShowAbout();
    // The File menu's capture item offers to stop (true) or to start a capture.
    void SetCaptureRunning(bool running);

    const MainMenus& Menus() const { return m_menus; }
    // The current height of the status bar, in twips.
    double StatusBarTwips() const;

signals:
    void redirectionToggleRequested(); // the switch
    void sendToClipboardRequested();   // the clipboard lamp and its caption
    void clearPanesRequested();        // "S&niffer"
    void resetCountersRequested();     // "B&ytes"
    void resetBothRequested();         // "&Both"
    void quitRequested();              // "&Exit" and the close box
    void methodsDialogRequested();     // "&ReDirection Methods"
    void preferencesDialogRequested(); // "Startup &Preferences"
    void commDialogRequested();        // "&Serial Communications"
    void pppDialogRequested();         // "&Internet (PPP)..."
    void trafficMonitorRequested();    // "Traffic &Monitor"
    void captureToggleRequested();     // "Start &Capture..." / "Stop &Capture"
    // The window became the active one, coming from another of the program's
    // windows, or for the first time.
    void activated();

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
    void ShowAll();

    LampBoard m_lamps;
    TrafficPanel m_traffic;
    MainMenus m_menus;
    ClickLabel* m_statusPanel1 = nullptr;
    ClickLabel* m_statusPanel2 = nullptr;
    AboutWindow* m_about = nullptr;
    // The outer size the last display mode asked for, in twips.
    std::optional<std::pair<double, double>> m_outerTwips;
    QSize m_appliedFrame;
    bool m_ended = false;
    bool m_focusWasInProgram = false; // one of the program's windows had the focus
    bool m_activatedBefore = false;
};

} // namespace loomway
