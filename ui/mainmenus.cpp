#include "ui/mainmenus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace loomway {

namespace {

QMenu* addMenu(QMenuBar& bar, const char* name, const char* caption) {
    QMenu* menu = bar.addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QMenu* addSubmenu(QMenu& parent, const char* name, const char* caption) {
    QMenu* menu = parent.addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* addItem(QMenu& menu, const char* name, const char* caption, char ctrlKey = 0,
                 bool checkable = false) {
    QAction* action = menu.addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    if (ctrlKey != 0) {
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(ctrlKey)));
        // The shortcuts work whenever the main window is active, also while
        // a pane holds the focus or the menu bar is hidden.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setCheckable(checkable);
    return action;
}

QAction* addSeparator(QMenu& menu, const char* name) {
    QAction* separator = menu.addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

} // namespace

MainMenus BuildMainMenus(QMenuBar& bar) {
    MainMenus m;
    m.m_file = addMenu(bar, "m_file", "&File");
    m.m_reset = addSubmenu(*m.m_file, "m_reset", "&Reset");
    m.m_clearSniffer = addItem(*m.m_reset, "m_clrSniff", "S&niffer", 'N');
    m.m_resetBytes = addItem(*m.m_reset, "m_resetbytes", "B&ytes", 'Y');
    m.m_resetBoth = addItem(*m.m_reset, "m_resetboth", "&Both", 'B');
    m.m_capture = addItem(*m.m_file, "m_capture", kStartCaptureCaption);
    m.m_exit = addItem(*m.m_file, "m_exit", "&Exit", 'E');

    m.m_view = addMenu(bar, "m_view", "&View");
    m.m_leds = addItem(*m.m_view, "m_led", "LE&Ds ", 'D', true);
    m.m_rate = addItem(*m.m_view, "m_rate", "&SND/RCV Rate", 'S', true);
    m.m_dataSniffer = addItem(*m.m_view, "m_datsniff", "Data Sni&ffer", 'F', true);
    m.m_viewSeparator = addSeparator(*m.m_view, "m_none");
    m.m_hideMenu = addItem(*m.m_view, "m_hide", "H&ide Menu", 'H', true);
    m.m_monitorSeparator = addSeparator(*m.m_view, "m_monitorSeparator");
    m.m_monitor = addItem(*m.m_view, "m_monitor", "Traffic &Monitor", 'T');

    m.m_configure = addMenu(bar, "m_config", "Co&nfigure");
    m.m_methods = addItem(*m.m_configure, "m_method", "&ReDirection Methods", 'M');
    m.m_preferences = addItem(*m.m_configure, "m_Prefs", "Startup &Preferences", 'P');
    m.m_commSettings = addItem(*m.m_configure, "m_options", "&Serial Communications", 'C');
    m.m_ppp = addItem(*m.m_configure, "m_ppp", "&Internet (PPP)...");

    m.m_help = addMenu(bar, "m_help", "&Help");
    m.m_homePage = addItem(*m.m_help, "m_lmwhome", "QUILLON &Home Page");
    m.m_hotNews = addItem(*m.m_help, "m_whatsnew", "&Palm Loomway Hot News!");
    m.m_helpSeparator = addSeparator(*m.m_help, "m_helpSeparator");
    m.m_about = addItem(*m.m_help, "m_about", "&About", 'A');
    return m;
}

} // namespace loomway
