// Composition root: builds the program's objects and connects them.
#include "core/traffic.h"
#include "ui/lw_main.h"
#include "ui/qtmessagebox.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    using namespace loomway;
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Palm Loomway"));
    app.setApplicationVersion(QStringLiteral(LOOMWAY_VERSION));

    LW_Main window;
    QtMessageBox messages(&window);
    Traffic traffic(window);

    LW_Main::Hooks hooks;
    hooks.clearPanes = [&traffic] { traffic.ClearPanes(); };
    hooks.resetCounters = [&traffic] { traffic.ResetCounters(); };
    hooks.resetBoth = [&traffic] { traffic.ResetBoth(); };
    hooks.quit = [&window] { window.EndApplication(); };
    window.SetHooks(std::move(hooks));

    // Start-up: counters at 0, panes empty, everything in view.
    traffic.ResetBoth();
    window.SetDisplay("ALL");
    window.show();
    return app.exec();
}
