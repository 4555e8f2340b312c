// Composition root: builds the program's objects and connects them. Every
// object lives here, on the stack of main, for the whole run.
#include "base/clock.h"
#include "capture/capturecontroller.h"
#include "capture/chunkfanout.h"
#include "capture/chunkstore.h"
#include "config/settings.h"
#include "core/datapump.h"
#include "core/noticeboard.h"
#include "core/programlifecycle.h"
#include "core/redirectionswitch.h"
#include "core/traffic.h"
#include "platform/displayplatform.h"
#include "platform/exitcleanup.h"
#include "platform/exitsignals.h"
#include "platform/filecapturesink.h"
#include "platform/filesystemdevicewatcher.h"
#include "platform/iniprofilefile.h"
#include "platform/ports/routingserialport.h"
#include "platform/programstarter.h"
#include "platform/qtclipboard.h"
#include "platform/qtprintersurface.h"
#include "platform/qttimer.h"
#include "platform/serialdevices.h"
#include "platform/singleinstance.h"
#include "platform/x11windows.h"
#include "services/clipboardengine.h"
#include "services/printengine.h"
#include "ui/appicon.h"
#include "ui/capturefilechooser.h"
#include "ui/dialogs/commdialog.h"
#include "ui/dialogs/fileprogramchooser.h"
#include "ui/dialogs/methodsdialog.h"
#include "ui/dialogs/pppdialog.h"
#include "ui/dialogs/preferencesdialog.h"
#include "ui/mainwindow.h"
#include "ui/monitorwindow.h"
#include "ui/qtmessagebox.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// A command that makes its window on first use and opens it each time: the
// window is shown, or raised when it is open already.
template <typename Window, typename Make>
auto OpenOnFirstUse(std::unique_ptr<Window>& window, Make make) {
    return [&window, make] {
        if (!window) {
            window = make();
        }
        window->Open();
    };
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace loomway;
    // On a Wayland session, through XWayland: Qt is asked for its X11
    // platform on the command line it reads, so programs started from here
    // do not inherit the choice.
    std::string platform =
        ChooseDisplayPlatform([](const char* name) { return std::getenv(name); });
    char platformOption[] = "-platform";
    std::vector<char*> arguments(argv, argv + argc);
    if (!platform.empty()) {
        arguments.insert(arguments.begin() + 1, {platformOption, platform.data()});
    }
    int argumentCount = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(argumentCount, arguments.data());
    app.setApplicationName(QStringLiteral("Palm Loomway"));
    app.setWindowIcon(ApplicationIcon());
    app.setApplicationVersion(QStringLiteral(LOOMWAY_VERSION));

    IniProfileFile file(IniProfileFile::DefaultPath());
    Settings settings;

    MainWindow window;
    QtMessageBox messages(&window);

    // MSComm1 (the handheld) and MSComm2 (the modem); a port number stands for
    // the device or network endpoint that [Ports] maps it to.
    const auto device = [&file](int number) { return PortDevice(file, number); };
    RoutingSerialPort handheld(device, file);
    RoutingSerialPort modem(device, file);
    // Panel 2 of the status bar: the devices waited for, why the built-in
    // modem could not dial, and holds of the relay, each with its own notice.
    NoticeBoard notices(window);
    StatusPanel& switchPanel = notices.AddPart();
    StatusPanel& modemNotes = notices.AddPart();
    StatusPanel& holdNotes = notices.AddPart();
    for (RoutingSerialPort* port : {&handheld, &modem}) {
        port->Modem().SetNoteHandler([&modemNotes](const std::string& note) {
            modemNotes.ShowNotice(note.empty() ? note : "Modem: " + note);
        });
        // The PPP gateway's state goes there as well ("Online as 10.0.2.15").
        port->SetPppNoteHandler([&window](const std::string& note) { window.ShowNotice(note); });
    }
    RedirectionSwitch redirection(file, settings, handheld, modem, window.Lamps(), messages,
                                  switchPanel);
    handheld.SetLostHandler([&redirection, &handheld](const PortError& error) {
        redirection.OnPortLost(handheld, error);
    });
    modem.SetLostHandler(
        [&redirection, &modem](const PortError& error) { redirection.OnPortLost(modem, error); });
    // A lost device is waited for and its port reopened when it is back.
    FileSystemDeviceWatcher deviceWatcher;
    redirection.SetDeviceWatcher(&deviceWatcher);

    Traffic traffic(window.Traffic());
    QtPrinterSurface printer;
    PrintEngine print(printer, handheld, traffic, window.Lamps());
    QtClipboard clipboard(*QGuiApplication::clipboard());
    ClipboardEngine clipboardEngine(clipboard, window.Lamps());
    DataPump pump(settings, handheld, modem, print, clipboardEngine, traffic, window.Lamps());
    QtTimer requestHold([&pump] { pump.OnRequestHoldTimer(); });
    QtTimer holdNotice([&pump] { pump.OnNoticeTimer(); });
    pump.SetRequestHoldTimer(&requestHold);
    pump.SetHoldNotice(&holdNotes, &holdNotice);
    pump.HoldWhile([&redirection](const SerialPort& port) { return redirection.Awaiting(port); });

    // Every chunk either way goes to whoever listens: the running captures.
    SystemClock clock;
    ChunkFanOut chunkListeners;
    pump.SetChunkTap(&chunkListeners);
    print.SetChunkTap(&chunkListeners);
    FileCaptureFiles captureFiles;
    // Captured chunks reach the file together, a moment after the first.
    QTimer captureFlush;
    captureFlush.setSingleShot(true);
    captureFlush.setInterval(200);
    CaptureController captures(
        file, captureFiles, clock, chunkListeners, messages,
        [&window](std::function<void()> task) { QTimer::singleShot(0, &window, std::move(task)); },
        [&captureFlush] {
            if (!captureFlush.isActive()) {
                captureFlush.start();
            }
        });
    QObject::connect(&captureFlush, &QTimer::timeout, &window, [&captures] { captures.Flush(); });
    captures.SetMenuCaptureHandler([&window](bool running) { window.SetCaptureRunning(running); });
    // Also when Qt ends the process at once (the X11 connection broke): what
    // a capture holds reaches its file, a print document in progress goes,
    // and exec: programs end.
    ExitCleanup lastWords;
    lastWords.Add([&captures] { captures.Flush(); });
    lastWords.Add([&printer] { printer.AbortDoc(); });
    lastWords.Add([&handheld, &modem] {
        handheld.Modem().EndProgramNow();
        modem.Modem().EndProgramNow();
    });
    // The latest chunks for the traffic monitor, kept from the start on within
    // a fixed budget; the window is made when first opened.
    ChunkStore chunkStore(clock);
    chunkListeners.Add(chunkStore);
    std::unique_ptr<MonitorWindow> monitor;
    redirection.SetSwitchHandler([&captures, &chunkStore](bool on) {
        if (on) {
            chunkStore.OnSwitchOn();
        }
        captures.OnSwitch(on);
    });
    DialogCaptureFileChooser captureChooser;
    redirection.SetLastWordsHandler(
        [&pump](const std::string& words) { pump.RelayFromModem(words); });
    handheld.SetReceiveHandler([&pump] { pump.OnHandheldData(); });
    modem.SetReceiveHandler([&pump] { pump.OnModemData(); });

    QTimer lampTimer;
    lampTimer.setInterval(2000);
    QObject::connect(&lampTimer, &QTimer::timeout, &window,
                     [&window] { LampTimerTick(window.Lamps()); });

    SingleInstance instances;
    X11Windows desktopWindows(X11Windows::SessionDisplay());
    DetachedProgramStarter starter;
    ProgramLifecycle application(file, settings, redirection, traffic, window.Lamps(), window,
                                 instances, desktopWindows, starter, clock);

    // The settings dialogs are made when first opened; the main window is
    // their owner.
    SerialDevices devices;
    FileProgramChooser chooser;
    std::unique_ptr<CommDialog> commDialog;
    std::unique_ptr<MethodsDialog> methodsDialog;
    std::unique_ptr<PreferencesDialog> preferencesDialog;
    std::unique_ptr<PppDialog> pppDialog;

    const auto on = [&window](auto signal, auto command) {
        QObject::connect(&window, signal, &window, command);
    };
    on(&MainWindow::redirectionToggleRequested,
       [&redirection] { redirection.ToggleRedirection(); });
    on(&MainWindow::sendToClipboardRequested,
       [&] { SendToClipboard(settings, handheld, clipboard, traffic, &chunkListeners); });
    on(&MainWindow::clearPanesRequested, [&traffic] { traffic.ClearPanes(); });
    on(&MainWindow::resetCountersRequested, [&traffic] { traffic.ResetCounters(); });
    on(&MainWindow::resetBothRequested, [&traffic] { traffic.ResetBoth(); });
    on(&MainWindow::quitRequested, [&application] { application.QuitProgram(); });
    on(&MainWindow::activated, [&application] { application.Activate(); });
    on(&MainWindow::commDialogRequested, OpenOnFirstUse(commDialog, [&] {
        return std::make_unique<CommDialog>(file, settings, redirection, messages, devices,
                                            &window);
    }));
    on(&MainWindow::methodsDialogRequested, OpenOnFirstUse(methodsDialog, [&] {
        return std::make_unique<MethodsDialog>(file, settings, redirection, messages, &window);
    }));
    on(&MainWindow::preferencesDialogRequested, OpenOnFirstUse(preferencesDialog, [&] {
        return std::make_unique<PreferencesDialog>(file, settings, chooser, &window);
    }));
    on(&MainWindow::pppDialogRequested, OpenOnFirstUse(pppDialog, [&] {
        return std::make_unique<PppDialog>(file, messages, &window);
    }));
    on(&MainWindow::trafficMonitorRequested, OpenOnFirstUse(monitor, [&] {
        auto made = std::make_unique<MonitorWindow>(chunkStore);
        chunkListeners.Add(*made);
        QObject::connect(&window.Traffic(), &TrafficPanel::frameDrawn, made.get(),
                         &MonitorWindow::SyncIfDirty);
        return made;
    }));
    on(&MainWindow::captureToggleRequested, [&] {
        if (captures.MenuCaptureRunning()) {
            captures.StopMenuCapture();
        } else if (auto choice = captureChooser.Choose(&window)) {
            captures.StartMenuCapture(choice->path, choice->format);
        }
    });
    window.EnableConnectedCommands();

    // SIGTERM, SIGINT and SIGHUP, and the end of the desktop session, run the
    // same exit sequence as "&Exit" and the close box.
    ExitSignals exitSignals([&application](int) { application.QuitProgram(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&application] { application.QuitProgram(); });

    lampTimer.start();
    if (!application.Load() || window.ApplicationEnded()) {
        return 0;
    }
    window.show();
    // Also without a window manager to hand it the focus, the program starts
    // with its main window active.
    window.activateWindow();
    const int result = app.exec();
    // However the event loop ended, the ports are closed before the program goes.
    application.QuitProgram();
    return result;
}
