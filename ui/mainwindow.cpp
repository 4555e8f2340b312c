#include "ui/mainwindow.h"

#include "ui/aboutwindow.h"
#include "ui/appicon.h"
#include "ui/backgroundarea.h"
#include "ui/clicklabel.h"
#include "ui/datapane.h"
#include "ui/displaymode.h"
#include "ui/documents.h"
#include "ui/windowpictures.h"

#include <cmath>
#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>

namespace loomway {

namespace {

// Twips to pixels; every measure of the arrangement is a multiple of 15.
QRect twips(int left, int top, int width, int height) {
    const auto px = [](int t) { return qRound(t / kTwipsPerPixel); };
    return QRect(px(left), px(top), px(width), px(height));
}

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette colours = widget->palette();
    // For every colour group: the same while a settings dialog disables the window.
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, text);
    widget->setPalette(colours);
    widget->setAutoFillBackground(background.alpha() == 255);
}

ClickLabel* blackPanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* panel = new ClickLabel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(geometry);
    setColours(panel, Qt::black, Qt::white);
    return panel;
}

// A caption's size relative to the user's font, kept as a property so the
// captions follow when the user's font changes.
const char* const kCaptionScale = "loomwayCaptionScale";

void applyCaptionFont(QLabel* label) {
    const qreal scale = label->property(kCaptionScale).toReal();
    QFont font = QGuiApplication::font();
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * scale);
    } else {
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * scale)));
    }
    font.setBold(true);
    label->setFont(font);
}

ClickLabel* caption(QWidget* parent, const char* name, const char* text, const QRect& geometry,
                    Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignTop, qreal scale = 0.9) {
    auto* label = new ClickLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setText(QString::fromLatin1(text));
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    setColours(label, Qt::black, Qt::white);
    label->setProperty(kCaptionScale, scale);
    applyCaptionFont(label);
    return label;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_lamps(qGuiApp->devicePixelRatio()) {
    setObjectName(QStringLiteral("LW_Main"));
    setWindowTitle(QStringLiteral("Palm Loomway by QUILLON"));
    // The dialogs and message boxes take this icon from their owner.
    setWindowIcon(ApplicationIcon());
    // A fixed single border: no maximize button, every size comes from SetDisplay.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_menus = BuildMainMenus(*menuBar());
    BuildArrangement();
    BuildStatusBar();
    ConnectMenus();
    EnableConnectedCommands();
    // The traffic lamps are drawn with the counters and panes.
    connect(&m_lamps, &LampBoard::frameWanted, &m_traffic, &TrafficPanel::RequestFrame);
    connect(&m_traffic, &TrafficPanel::frameDrawn, &m_lamps, &LampBoard::DrawPending);
    // Qt reports the new focus window after the activation events, so this
    // still tells, when one arrives, whether the focus was in the program.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* window) { m_focusWasInProgram = window != nullptr; });
    // The creation size: a client area of 9120 x 5805 twips below the menu bar.
    setFixedSize(twips(0, 0, 9120, 5805).width(),
                 twips(0, 0, 9120, 5805).height() + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildArrangement() {
    auto* area = new BackgroundArea(this);
    area->setObjectName(QStringLiteral("LW_Main_Client"));
    setCentralWidget(area);
    connect(area, &BackgroundArea::doubleClicked, this, &MainWindow::ShowAll);

    const auto allOnDoubleClick = [this](ClickLabel* element) {
        connect(element, &ClickLabel::doubleClicked, this, &MainWindow::ShowAll);
    };
    const auto lamp = [this](Lamp which, QWidget* parent, const char* name, const QRect& geometry,
                             LampPicture initial, const char* tip) {
        auto* image = new ClickLabel(parent);
        image->setObjectName(QString::fromLatin1(name));
        image->setGeometry(geometry);
        image->setAlignment(Qt::AlignCenter);
        image->setToolTip(QString::fromLatin1(tip));
        // Opaque on its black panel, so repainting a lamp paints only the lamp.
        setColours(image, Qt::black, Qt::white);
        m_lamps.AddLamp(which, image, initial);
        return image;
    };

    // The switch panel.
    ClickLabel* onOffPanel = blackPanel(area, "picOnOff", twips(0, 0, 705, 855));
    allOnDoubleClick(onOffPanel);
    ClickLabel* onOff = lamp(Lamp::Switch, onOffPanel, "imgOnOff", twips(30, 90, 525, 240),
                             LampPicture::SwitchOn, "ReDirection ON/OFF");
    connect(onOff, &ClickLabel::clicked, this, &MainWindow::redirectionToggleRequested);
    onOff->setAccessibleName(QStringLiteral("ON / OFF switch"));
    onOff->MakeKeyboardButton();
    ClickLabel* onOffCaption = caption(onOffPanel, "lblonoff", "ON / OFF", twips(0, 480, 705, 255),
                                       Qt::AlignHCenter | Qt::AlignTop, 0.75);
    onOffCaption->setToolTip(QStringLiteral("ReDirection ON/OFF"));
    allOnDoubleClick(onOffCaption);

    // The lamp panel: five lamps at its top edge, each with its caption below.
    ClickLabel* ledPanel = blackPanel(area, "picLEDPanel", twips(720, 0, 3615, 855));
    allOnDoubleClick(ledPanel);
    struct LampPlace {
        Lamp lamp;
        const char* image;
        const char* label;
        const char* text;
        int left;
        LampPicture initial;
        const char* tip;
        const char* labelTip;
    };
    const LampPlace places[] = {
        {Lamp::Power, "imgPWR", "lblPWR", "PWR", 120, LampPicture::PowerOff, "ReDirection Status",
         nullptr},
        {Lamp::Receive, "imgRCV", "lblRCV", "RCV", 720, LampPicture::ReceiveOff, "Data Receive LED",
         nullptr},
        {Lamp::ModemSend, "imgSND", "lblSND", "SER", 1440, LampPicture::ModemSendOff,
         "Serial (Modem) Send", "Serial (Modem) Send"},
        {Lamp::Printer, "IMGPRT", "Label1", "PRT", 2160, LampPicture::PrinterOff, "Printer Send",
         "Printer Send"},
        {Lamp::Clipboard, "imgCLP", "lblClP", "CLP", 2880, LampPicture::ClipboardOff,
         "Clipboard Send - Click Here to Send Clipboard Data to Palm Device", "Clipboard Send"},
    };
    for (const LampPlace& place : places) {
        ClickLabel* image = lamp(place.lamp, ledPanel, place.image, twips(place.left, 0, 480, 480),
                                 place.initial, place.tip);
        image->setAccessibleName(QString::fromLatin1(place.text) + QStringLiteral(" lamp"));
        ClickLabel* label =
            caption(ledPanel, place.label, place.text, twips(place.left, 480, 495, 255));
        if (place.labelTip != nullptr) {
            label->setToolTip(QString::fromLatin1(place.labelTip));
        }
        if (place.lamp == Lamp::Clipboard) {
            connect(image, &ClickLabel::released, this,
                    [this] { m_lamps.SetLamp(Lamp::Clipboard, LampPicture::ClipboardFlying); });
            connect(image, &ClickLabel::clicked, this, &MainWindow::sendToClipboardRequested);
            image->MakeKeyboardButton();
            setTabOrder(onOff, image);
            connect(label, &ClickLabel::clicked, this, &MainWindow::sendToClipboardRequested);
            connect(label, &ClickLabel::doubleClicked, this, &MainWindow::sendToClipboardRequested);
        } else {
            allOnDoubleClick(image);
            allOnDoubleClick(label);
        }
    }

    // The counter panel.
    ClickLabel* counters = blackPanel(area, "Picture3", twips(4350, 0, 1635, 855));
    allOnDoubleClick(counters);
    caption(counters, "lblS", "S", twips(60, 105, 255, 255), Qt::AlignLeft | Qt::AlignTop);
    caption(counters, "lblR", "R", twips(45, 480, 255, 255), Qt::AlignLeft | Qt::AlignTop);
    ClickLabel* sentCounter = caption(counters, "lblSNDbyt", "0", twips(225, 90, 1275, 255),
                                      Qt::AlignRight | Qt::AlignTop);
    sentCounter->setToolTip(QStringLiteral("Bytes Sent"));
    sentCounter->setAccessibleName(QStringLiteral("Bytes sent"));
    sentCounter->setAccessibleDescription(sentCounter->text());
    allOnDoubleClick(sentCounter);
    m_traffic.AddCounter(Counter::Sent, sentCounter);
    ClickLabel* receivedCounter = caption(counters, "lblRCVByt", "0", twips(240, 450, 1260, 255),
                                          Qt::AlignRight | Qt::AlignTop);
    receivedCounter->setToolTip(QStringLiteral("Bytes Received"));
    receivedCounter->setAccessibleName(QStringLiteral("Bytes received"));
    receivedCounter->setAccessibleDescription(receivedCounter->text());
    allOnDoubleClick(receivedCounter);
    m_traffic.AddCounter(Counter::Received, receivedCounter);

    // The measure of the top strip; never shown.
    auto* line = new QFrame(area);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setGeometry(twips(240, 1170, 3720 - 240, 15));
    line->hide();

    // The pane headings lie under the panes, which cover their lower part.
    const QString sentTip =
        QStringLiteral("Data Stream Sent from Palm Device to ReDirected Location");
    const QString receivedTip =
        QStringLiteral("Data Stream Received by Palm Device from Remote ReDirected Location");
    auto* sentHeading = new ClickLabel(area);
    sentHeading->setObjectName(QStringLiteral("Picture2"));
    sentHeading->setGeometry(twips(0, 900, 1860, 495));
    sentHeading->setPixmap(MakePaneHeading(sentHeading->width(), sentHeading->height(),
                                           QStringLiteral("Sent from Palm"),
                                           m_lamps.Pictures().DevicePixelRatio()));
    sentHeading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sentHeading->setToolTip(sentTip);
    connect(sentHeading, &ClickLabel::clicked, this, &MainWindow::ShowAll);
    auto* receivedHeading = new ClickLabel(area);
    receivedHeading->setObjectName(QStringLiteral("Picture1"));
    receivedHeading->setGeometry(twips(-60, 2010, 2685, 540));
    receivedHeading->setPixmap(MakePaneHeading(receivedHeading->width(), receivedHeading->height(),
                                               QStringLiteral(" Received by Palm"),
                                               m_lamps.Pictures().DevicePixelRatio()));
    receivedHeading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    receivedHeading->setToolTip(receivedTip);
    connect(receivedHeading, &ClickLabel::clicked, this, &MainWindow::ShowAll);

    auto* sentPane = new DataPane(area);
    sentPane->setObjectName(QStringLiteral("txtSend"));
    sentPane->setGeometry(twips(0, 1200, 6015, 855));
    sentPane->setToolTip(sentTip);
    sentPane->setAccessibleName(QStringLiteral("Sent from Palm"));
    connect(sentPane, &DataPane::doubleClicked, this, &MainWindow::ShowAll);
    m_traffic.AddPane(Pane::Sent, sentPane);
    auto* receivedPane = new DataPane(area);
    receivedPane->setObjectName(QStringLiteral("txtReceive"));
    receivedPane->setGeometry(twips(0, 2370, 6015, 855));
    receivedPane->setToolTip(receivedTip);
    receivedPane->setAccessibleName(QStringLiteral("Received by Palm"));
    connect(receivedPane, &DataPane::doubleClicked, this, &MainWindow::ShowAll);
    m_traffic.AddPane(Pane::Received, receivedPane);

    // The picture stores, beside the widest area a display mode shows.
    for (std::size_t i = 0; i < LampPictures::Count; ++i) {
        const auto store = static_cast<LampPicture>(i);
        auto* image = new QLabel(area);
        image->setObjectName(QString::fromLatin1(LampPictures::Name(store)));
        const QSize size = LampPictures::SizeOf(store);
        image->setGeometry(440 + static_cast<int>(i % 4) * 40, static_cast<int>(i / 4) * 40,
                           size.width(), size.height());
        image->setPixmap(m_lamps.Pictures().Picture(store));
        const bool shown = store == LampPicture::ClipboardFlying ||
                           store == LampPicture::PrinterOn || store == LampPicture::PrinterOff ||
                           store == LampPicture::ClipboardOn || store == LampPicture::ClipboardOff;
        image->setVisible(shown);
    }
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    const auto panel = [this, bar](const char* name, int stretch) {
        auto* label = new ClickLabel(bar);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(2);
        bar->addWidget(label, stretch);
        connect(label, &ClickLabel::doubleClicked, this, &MainWindow::ShowAll);
        return label;
    };
    m_statusPanel1 = panel("StatusBar1_Panel1", 3);
    m_statusPanel2 = panel("StatusBar1_Panel2", 1);
}

void MainWindow::ConnectMenus() {
    const MainMenus& m = m_menus;
    connect(m.m_clearSniffer, &QAction::triggered, this, &MainWindow::clearPanesRequested);
    connect(m.m_resetBytes, &QAction::triggered, this, &MainWindow::resetCountersRequested);
    connect(m.m_resetBoth, &QAction::triggered, this, &MainWindow::resetBothRequested);
    connect(m.m_exit, &QAction::triggered, this, &MainWindow::quitRequested);
    connect(m.m_leds, &QAction::triggered, this, [this] { SetDisplay(DisplayMode::LedOnly); });
    connect(m.m_rate, &QAction::triggered, this, [this] { SetDisplay(DisplayMode::SendRec); });
    connect(m.m_dataSniffer, &QAction::triggered, this, [this] { SetDisplay(DisplayMode::Full); });
    // "H&ide Menu" is a checkable item: a click only toggles its own mark.
    connect(m.m_methods, &QAction::triggered, this, &MainWindow::methodsDialogRequested);
    connect(m.m_preferences, &QAction::triggered, this, &MainWindow::preferencesDialogRequested);
    connect(m.m_commSettings, &QAction::triggered, this, &MainWindow::commDialogRequested);
    connect(m.m_ppp, &QAction::triggered, this, &MainWindow::pppDialogRequested);
    connect(m.m_homePage, &QAction::triggered, this,
            [] { OpenShippedDocument(QString::fromLatin1(kUserGuide)); });
    connect(m.m_hotNews, &QAction::triggered, this,
            [] { OpenShippedDocument(QString::fromLatin1(kChangeLog)); });
    connect(m.m_about, &QAction::triggered, this, &MainWindow::ShowAbout);
    connect(m.m_monitor, &QAction::triggered, this, &MainWindow::trafficMonitorRequested);
    connect(m.m_capture, &QAction::triggered, this, &MainWindow::captureToggleRequested);
    // The window holds every item as well, so the Ctrl shortcuts keep working
    // while the menus are hidden.
    for (QAction* item : {m.m_clearSniffer, m.m_resetBytes, m.m_resetBoth, m.m_exit, m.m_leds,
                          m.m_rate, m.m_dataSniffer, m.m_hideMenu, m.m_methods, m.m_preferences,
                          m.m_commSettings, m.m_about, m.m_monitor}) {
        addAction(item);
    }
}

void MainWindow::EnableConnectedCommands() {
    const std::pair<QAction*, void (MainWindow::*)()> commands[] = {
        {m_menus.m_clearSniffer, &MainWindow::clearPanesRequested},
        {m_menus.m_resetBytes, &MainWindow::resetCountersRequested},
        {m_menus.m_resetBoth, &MainWindow::resetBothRequested},
        {m_menus.m_exit, &MainWindow::quitRequested},
        {m_menus.m_methods, &MainWindow::methodsDialogRequested},
        {m_menus.m_preferences, &MainWindow::preferencesDialogRequested},
        {m_menus.m_commSettings, &MainWindow::commDialogRequested},
        {m_menus.m_ppp, &MainWindow::pppDialogRequested},
        {m_menus.m_monitor, &MainWindow::trafficMonitorRequested},
        {m_menus.m_capture, &MainWindow::captureToggleRequested},
    };
    for (const auto& [item, signal] : commands) {
        item->setEnabled(isSignalConnected(QMetaMethod::fromSignal(signal)));
    }
}

void MainWindow::SetCaptureRunning(bool running) {
    m_menus.m_capture->setText(
        QString::fromLatin1(running ? kStopCaptureCaption : kStartCaptureCaption));
}

void MainWindow::ShowStatus(const std::string& text) {
    m_statusPanel1->setText(QString::fromStdString(text));
}

void MainWindow::ShowNotice(const std::string& text) {
    // The panel is narrow and device names are long: the tooltip has it all.
    m_statusPanel2->setText(QString::fromStdString(text));
    m_statusPanel2->setToolTip(QString::fromStdString(text));
}

void MainWindow::ShowAll() {
    SetDisplay(DisplayMode::All);
}

double MainWindow::StatusBarTwips() const {
    // The height the window's layout gives the status bar, also while hidden.
    return statusBar()->sizeHint().height() * kTwipsPerPixel;
}

void MainWindow::ShowMenus(bool visible) {
    for (QMenu* menu : {m_menus.m_file, m_menus.m_view, m_menus.m_configure, m_menus.m_help}) {
        menu->menuAction()->setVisible(visible);
    }
    menuBar()->setVisible(visible);
}

void MainWindow::SetDisplay(DisplayMode mode) {
    const DisplayLayout layout =
        ComputeDisplay(mode, m_menus.m_hideMenu->isChecked(), StatusBarTwips());
    ShowMenus(layout.menusVisible);
    statusBar()->setVisible(layout.statusBarVisible);
    if (layout.restoreNormalState &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    }
    m_outerTwips = std::make_pair(layout.width, layout.height);
    m_appliedFrame = QSize(-1, -1);
    ApplyOuterSize();
    m_menus.m_leds->setChecked(layout.ledChecked);
    m_menus.m_rate->setChecked(layout.rateChecked);
    m_menus.m_dataSniffer->setChecked(layout.snifferChecked);
}

void MainWindow::ApplyOuterSize() {
    if (!m_outerTwips) {
        return;
    }
    // The mode gives the outer size: the frame that a window manager adds
    // (known once the window is shown) is taken off the client size.
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame == m_appliedFrame) {
        return;
    }
    m_appliedFrame = frame;
    const PixelSize size = ClientSizeForOuter(m_outerTwips->first, m_outerTwips->second,
                                              frame.width(), frame.height());
    setFixedSize(size.width, size.height);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    ApplyOuterSize();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ApplyOuterSize();
}

void MainWindow::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

long MainWindow::ScreenWidth() const {
    return static_cast<long>(screen()->geometry().width() * kTwipsPerPixel);
}

long MainWindow::ScreenHeight() const {
    return static_cast<long>(screen()->geometry().height() * kTwipsPerPixel);
}

long MainWindow::Left() const {
    return static_cast<long>(x() * kTwipsPerPixel);
}

long MainWindow::Top() const {
    return static_cast<long>(y() * kTwipsPerPixel);
}

void MainWindow::MoveLeft(long twips) {
    move(static_cast<int>(std::lround(twips / kTwipsPerPixel)), y());
}

void MainWindow::MoveTop(long twips) {
    move(x(), static_cast<int>(std::lround(twips / kTwipsPerPixel)));
}

bool MainWindow::IsNormalState() const {
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
}

void MainWindow::SetHideMenuChecked(bool checked) {
    m_menus.m_hideMenu->setChecked(checked);
}

bool MainWindow::HideMenuChecked() const {
    return m_menus.m_hideMenu->isChecked();
}

void MainWindow::OpenCommSettingsDialog() {
    emit commDialogRequested();
}

void MainWindow::EndApplication() {
    m_ended = true;
    hide();
    QCoreApplication::exit(0);
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::ApplicationFontChange) {
        for (QLabel* label : findChildren<QLabel*>()) {
            if (label->property(kCaptionScale).isValid()) {
                applyCaptionFont(label);
            }
        }
    }
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate && !m_ended) {
        // Only activation from one of the program's own windows counts (a
        // dialog closing, say), and the first one after start; coming back
        // from another program does not.
        if (m_focusWasInProgram || !m_activatedBefore) {
            m_activatedBefore = true;
            emit activated();
        }
    }
    return handled;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box runs the same exit sequence as "&Exit".
    if (!m_ended) {
        emit quitRequested();
    }
    event->accept();
}

void MainWindow::ShowAbout() {
    if (m_about == nullptr) {
        m_about = new AboutWindow(this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace loomway
