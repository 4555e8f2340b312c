#include "ui/lw_main.h"

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

std::size_t index(Lamp lamp) {
    return static_cast<std::size_t>(lamp);
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

// What a screen reader says of a lamp or the switch after its name.
QString pictureState(LampPicture store) {
    if (store == LampPicture::imgON || store == LampPicture::imgOFF) {
        return store == LampPicture::imgON ? QStringLiteral("on") : QStringLiteral("off");
    }
    return LampPictures::IsLit(store) ? QStringLiteral("lit") : QStringLiteral("dark");
}

} // namespace

LW_Main::LW_Main(QWidget* parent) : QMainWindow(parent), m_pictures(qGuiApp->devicePixelRatio()) {
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
    SetHooks({});
    m_frame.setSingleShot(true);
    m_frame.setInterval(kFrameMs);
    connect(&m_frame, &QTimer::timeout, this, &LW_Main::FlushFrame);
    m_blink.setInterval(kBlinkMs);
    connect(&m_blink, &QTimer::timeout, this, &LW_Main::BlinkTick);
    // Qt reports the new focus window after the activation events, so this
    // still tells, when one arrives, whether the focus was in the program.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* window) { m_focusWasInProgram = window != nullptr; });
    // The creation size: a client area of 9120 x 5805 twips below the menu bar.
    setFixedSize(twips(0, 0, 9120, 5805).width(),
                 twips(0, 0, 9120, 5805).height() + menuBar()->sizeHint().height());
}

LW_Main::~LW_Main() = default;

void LW_Main::BuildArrangement() {
    auto* area = new BackgroundArea(this);
    area->setObjectName(QStringLiteral("LW_Main_Client"));
    setCentralWidget(area);
    connect(area, &BackgroundArea::doubleClicked, this, &LW_Main::ShowAll);

    const auto allOnDoubleClick = [this](ClickLabel* element) {
        connect(element, &ClickLabel::doubleClicked, this, &LW_Main::ShowAll);
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
        m_lamps[index(which)] = image;
        m_shown[index(which)] = initial;
        ShowLampPicture(index(which));
        return image;
    };

    // The switch panel.
    ClickLabel* onOffPanel = blackPanel(area, "picOnOff", twips(0, 0, 705, 855));
    allOnDoubleClick(onOffPanel);
    ClickLabel* onOff = lamp(Lamp::imgOnOff, onOffPanel, "imgOnOff", twips(30, 90, 525, 240),
                             LampPicture::imgON, "ReDirection ON/OFF");
    connect(onOff, &ClickLabel::clicked, this, [this] { RunHook(m_hooks.toggleRedirection); });
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
        {Lamp::imgPWR, "imgPWR", "lblPWR", "PWR", 120, LampPicture::IMG_OFF, "ReDirection Status",
         nullptr},
        {Lamp::imgRCV, "imgRCV", "lblRCV", "RCV", 720, LampPicture::IMG_POFF, "Data Receive LED",
         nullptr},
        {Lamp::imgSND, "imgSND", "lblSND", "SER", 1440, LampPicture::IMG_MOFF,
         "Serial (Modem) Send", "Serial (Modem) Send"},
        {Lamp::IMGPRT, "IMGPRT", "Label1", "PRT", 2160, LampPicture::IMG_PROF, "Printer Send",
         "Printer Send"},
        {Lamp::imgCLP, "imgCLP", "lblClP", "CLP", 2880, LampPicture::img_coff,
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
        if (place.lamp == Lamp::imgCLP) {
            connect(image, &ClickLabel::released, this,
                    [this] { SetLamp(Lamp::imgCLP, "CLPFLY"); });
            connect(image, &ClickLabel::clicked, this, &LW_Main::Send_to_Clip);
            image->MakeKeyboardButton();
            setTabOrder(onOff, image);
            connect(label, &ClickLabel::clicked, this, &LW_Main::Send_to_Clip);
            connect(label, &ClickLabel::doubleClicked, this, &LW_Main::Send_to_Clip);
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
    m_sentCounter = caption(counters, "lblSNDbyt", "0", twips(225, 90, 1275, 255),
                            Qt::AlignRight | Qt::AlignTop);
    m_sentCounter->setToolTip(QStringLiteral("Bytes Sent"));
    m_sentCounter->setAccessibleName(QStringLiteral("Bytes sent"));
    m_sentCounter->setAccessibleDescription(m_sentCounter->text());
    allOnDoubleClick(m_sentCounter);
    m_receivedCounter = caption(counters, "lblRCVByt", "0", twips(240, 450, 1260, 255),
                                Qt::AlignRight | Qt::AlignTop);
    m_receivedCounter->setToolTip(QStringLiteral("Bytes Received"));
    m_receivedCounter->setAccessibleName(QStringLiteral("Bytes received"));
    m_receivedCounter->setAccessibleDescription(m_receivedCounter->text());
    allOnDoubleClick(m_receivedCounter);

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
                                           m_pictures.DevicePixelRatio()));
    sentHeading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sentHeading->setToolTip(sentTip);
    connect(sentHeading, &ClickLabel::clicked, this, &LW_Main::ShowAll);
    auto* receivedHeading = new ClickLabel(area);
    receivedHeading->setObjectName(QStringLiteral("Picture1"));
    receivedHeading->setGeometry(twips(-60, 2010, 2685, 540));
    receivedHeading->setPixmap(MakePaneHeading(receivedHeading->width(), receivedHeading->height(),
                                               QStringLiteral(" Received by Palm"),
                                               m_pictures.DevicePixelRatio()));
    receivedHeading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    receivedHeading->setToolTip(receivedTip);
    connect(receivedHeading, &ClickLabel::clicked, this, &LW_Main::ShowAll);

    m_sendPane = new DataPane(area);
    m_sendPane->setObjectName(QStringLiteral("txtSend"));
    m_sendPane->setGeometry(twips(0, 1200, 6015, 855));
    m_sendPane->setToolTip(sentTip);
    m_sendPane->setAccessibleName(QStringLiteral("Sent from Palm"));
    connect(m_sendPane, &DataPane::doubleClicked, this, &LW_Main::ShowAll);
    m_receivePane = new DataPane(area);
    m_receivePane->setObjectName(QStringLiteral("txtReceive"));
    m_receivePane->setGeometry(twips(0, 2370, 6015, 855));
    m_receivePane->setToolTip(receivedTip);
    m_receivePane->setAccessibleName(QStringLiteral("Received by Palm"));
    connect(m_receivePane, &DataPane::doubleClicked, this, &LW_Main::ShowAll);

    // The picture stores, beside the widest area a display mode shows.
    for (std::size_t i = 0; i < LampPictures::Count; ++i) {
        const auto store = static_cast<LampPicture>(i);
        auto* image = new QLabel(area);
        image->setObjectName(QString::fromLatin1(LampPictures::Name(store)));
        const QSize size = LampPictures::SizeOf(store);
        image->setGeometry(440 + static_cast<int>(i % 4) * 40, static_cast<int>(i / 4) * 40,
                           size.width(), size.height());
        image->setPixmap(m_pictures.Picture(store));
        const bool shown = store == LampPicture::imgClpf || store == LampPicture::IMG_PRON ||
                           store == LampPicture::IMG_PROF || store == LampPicture::img_con ||
                           store == LampPicture::img_coff;
        image->setVisible(shown);
    }
}

void LW_Main::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    const auto panel = [this, bar](const char* name, int stretch) {
        auto* label = new ClickLabel(bar);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setIndent(2);
        bar->addWidget(label, stretch);
        connect(label, &ClickLabel::doubleClicked, this, &LW_Main::ShowAll);
        return label;
    };
    m_statusPanel1 = panel("StatusBar1_Panel1", 3);
    m_statusPanel2 = panel("StatusBar1_Panel2", 1);
}

void LW_Main::ConnectMenus() {
    const MainMenus& m = m_menus;
    connect(m.m_clrSniff, &QAction::triggered, this, [this] { RunHook(m_hooks.clearPanes); });
    connect(m.m_resetbytes, &QAction::triggered, this, [this] { RunHook(m_hooks.resetCounters); });
    connect(m.m_resetboth, &QAction::triggered, this, [this] { RunHook(m_hooks.resetBoth); });
    connect(m.m_exit, &QAction::triggered, this, [this] { RunHook(m_hooks.quit); });
    connect(m.m_led, &QAction::triggered, this, [this] { SetDisplay("LED_ONLY"); });
    connect(m.m_rate, &QAction::triggered, this, [this] { SetDisplay("SENDREC"); });
    connect(m.m_datsniff, &QAction::triggered, this, [this] { SetDisplay("FULL"); });
    // "H&ide Menu" is a checkable item: a click only toggles its own mark.
    connect(m.m_method, &QAction::triggered, this, [this] { RunHook(m_hooks.methodsDialog); });
    connect(m.m_Prefs, &QAction::triggered, this, [this] { RunHook(m_hooks.preferencesDialog); });
    connect(m.m_options, &QAction::triggered, this, [this] { RunHook(m_hooks.commDialog); });
    connect(m.m_lmwhome, &QAction::triggered, this,
            [] { OpenShippedDocument(QString::fromLatin1(kUserGuide)); });
    connect(m.m_whatsnew, &QAction::triggered, this,
            [] { OpenShippedDocument(QString::fromLatin1(kChangeLog)); });
    connect(m.m_about, &QAction::triggered, this, &LW_Main::ShowAbout);
    connect(m.m_monitor, &QAction::triggered, this, [this] { RunHook(m_hooks.trafficMonitor); });
    connect(m.m_capture, &QAction::triggered, this, [this] { RunHook(m_hooks.toggleCapture); });
    // The window holds every item as well, so the Ctrl shortcuts keep working
    // while the menus are hidden.
    for (QAction* item :
         {m.m_clrSniff, m.m_resetbytes, m.m_resetboth, m.m_exit, m.m_led, m.m_rate, m.m_datsniff,
          m.m_hide, m.m_method, m.m_Prefs, m.m_options, m.m_about, m.m_monitor}) {
        addAction(item);
    }
}

void LW_Main::SetHooks(Hooks hooks) {
    m_hooks = std::move(hooks);
    m_menus.m_clrSniff->setEnabled(bool(m_hooks.clearPanes));
    m_menus.m_resetbytes->setEnabled(bool(m_hooks.resetCounters));
    m_menus.m_resetboth->setEnabled(bool(m_hooks.resetBoth));
    m_menus.m_exit->setEnabled(bool(m_hooks.quit));
    m_menus.m_method->setEnabled(bool(m_hooks.methodsDialog));
    m_menus.m_Prefs->setEnabled(bool(m_hooks.preferencesDialog));
    m_menus.m_options->setEnabled(bool(m_hooks.commDialog));
    m_menus.m_monitor->setEnabled(bool(m_hooks.trafficMonitor));
    m_menus.m_capture->setEnabled(bool(m_hooks.toggleCapture));
}

void LW_Main::SetCaptureRunning(bool running) {
    m_menus.m_capture->setText(
        QString::fromLatin1(running ? kStopCaptureCaption : kStartCaptureCaption));
}

void LW_Main::RunHook(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

void LW_Main::SetLamp(Lamp lamp, const std::string& code) {
    if (m_blinkLamp == lamp) {
        m_blink.stop();
        m_blinkLamp.reset();
    }
    const std::optional<LampPicture> picture = PictureForCode(code);
    // An unknown code, or the picture the lamp already shows, leaves the
    // screen as it is: there is nothing to repaint.
    if (!picture || m_shown[index(lamp)] == *picture) {
        return;
    }
    m_shown[index(lamp)] = *picture;
    // The two traffic lamps change with every chunk, and a relay handler is
    // over in microseconds: their change is drawn with the next frame,
    // together with the counters and panes. Painting at once would stop the
    // relay for a paint (and a round trip to the display server) at every
    // change. The other lamps are painted at once: a print job may keep the
    // handler busy long after its lamp went on.
    const bool trafficLamp = lamp == Lamp::imgSND || lamp == Lamp::imgRCV;
    if (trafficLamp) {
        m_lampPending[index(lamp)] = true;
        StartFrame();
        return;
    }
    m_lampPending[index(lamp)] = false;
    ShowLampPicture(index(lamp));
    m_lamps[index(lamp)]->repaint();
}

void LW_Main::ShowLampPicture(std::size_t lamp) {
    m_lamps[lamp]->setPixmap(m_pictures.Picture(m_shown[lamp]));
    const bool blinking = m_blinkLamp && index(*m_blinkLamp) == lamp;
    const QString state = blinking ? QStringLiteral("blinking") : pictureState(m_shown[lamp]);
    if (m_lamps[lamp]->accessibleDescription() != state) {
        m_lamps[lamp]->setAccessibleDescription(state);
    }
}

void LW_Main::BlinkLamp(Lamp lamp, const std::string& litCode, const std::string& darkCode) {
    const std::optional<LampPicture> lit = PictureForCode(litCode);
    const std::optional<LampPicture> dark = PictureForCode(darkCode);
    SetLamp(lamp, litCode);
    if (!lit || !dark) {
        return;
    }
    m_blinkLamp = lamp;
    m_blinkPictures = {*lit, *dark};
    m_blink.start();
    ShowLampPicture(index(lamp));
}

void LW_Main::BlinkTick() {
    if (!m_blinkLamp) {
        m_blink.stop();
        return;
    }
    const std::size_t i = index(*m_blinkLamp);
    m_shown[i] = m_shown[i] == m_blinkPictures[0] ? m_blinkPictures[1] : m_blinkPictures[0];
    ShowLampPicture(i);
}

LampPicture LW_Main::LampShows(Lamp lamp) const {
    return m_shown[index(lamp)];
}

void LW_Main::ShowCounter(Counter counter, const std::string& label) {
    m_counterPending[counter == Counter::BytesSent ? 0 : 1] = label;
    StartFrame();
}

void LW_Main::StartFrame() {
    if (!m_frame.isActive()) {
        m_frame.start();
    }
}

void LW_Main::FlushFrame() {
    m_frame.stop();
    for (std::size_t i = 0; i < m_lamps.size(); ++i) {
        if (std::exchange(m_lampPending[i], false)) {
            ShowLampPicture(i);
        }
    }
    ClickLabel* const counters[2] = {m_sentCounter, m_receivedCounter};
    DataPane* const panes[2] = {m_sendPane, m_receivePane};
    for (std::size_t i = 0; i < 2; ++i) {
        if (m_counterPending[i]) {
            const std::string label = *std::exchange(m_counterPending[i], std::nullopt);
            counters[i]->setText(
                QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
            counters[i]->setAccessibleDescription(counters[i]->text());
        }
        if (std::exchange(m_panePending[i], false)) {
            panes[i]->Flush();
        }
    }
    // Everything changed in this frame is painted in one pass.
    emit frameDrawn();
}

void LW_Main::ShowPane(Pane pane, const std::string& text, bool caretToEnd) {
    const std::size_t i = pane == Pane::txtSend ? 0 : 1;
    (i == 0 ? m_sendPane : m_receivePane)->ShowBytes(text, caretToEnd);
    m_panePending[i] = true;
    StartFrame();
}

void LW_Main::ShowStatus(const std::string& text) {
    m_statusPanel1->setText(QString::fromStdString(text));
}

void LW_Main::ShowNotice(const std::string& text) {
    // The panel is narrow and device names are long: the tooltip has it all.
    m_statusPanel2->setText(QString::fromStdString(text));
    m_statusPanel2->setToolTip(QString::fromStdString(text));
}

void LW_Main::Send_to_Clip() {
    RunHook(m_hooks.sendToClip);
}

void LW_Main::ShowAll() {
    SetDisplay("ALL");
}

double LW_Main::StatusBarTwips() const {
    // The height the window's layout gives the status bar, also while hidden.
    return statusBar()->sizeHint().height() * kTwipsPerPixel;
}

void LW_Main::ShowMenus(bool visible) {
    for (QMenu* menu : {m_menus.m_file, m_menus.m_view, m_menus.m_config, m_menus.m_help}) {
        menu->menuAction()->setVisible(visible);
    }
    menuBar()->setVisible(visible);
}

void LW_Main::SetDisplay(const std::string& mode) {
    const DisplayLayout layout =
        ComputeDisplay(mode, m_menus.m_hide->isChecked(), StatusBarTwips());
    ShowMenus(layout.menusVisible);
    statusBar()->setVisible(layout.statusBarVisible);
    if (!layout.known) {
        return;
    }
    if (layout.restoreNormalState &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    }
    m_outerTwips = std::make_pair(layout.width, layout.height);
    m_appliedFrame = QSize(-1, -1);
    ApplyOuterSize();
    m_menus.m_led->setChecked(layout.ledChecked);
    m_menus.m_rate->setChecked(layout.rateChecked);
    m_menus.m_datsniff->setChecked(layout.snifferChecked);
}

void LW_Main::ApplyOuterSize() {
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

void LW_Main::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    ApplyOuterSize();
}

void LW_Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ApplyOuterSize();
}

void LW_Main::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

long LW_Main::ScreenWidth() const {
    return static_cast<long>(screen()->geometry().width() * kTwipsPerPixel);
}

long LW_Main::ScreenHeight() const {
    return static_cast<long>(screen()->geometry().height() * kTwipsPerPixel);
}

long LW_Main::Left() const {
    return static_cast<long>(x() * kTwipsPerPixel);
}

long LW_Main::Top() const {
    return static_cast<long>(y() * kTwipsPerPixel);
}

void LW_Main::MoveLeft(long twips) {
    move(static_cast<int>(std::lround(twips / kTwipsPerPixel)), y());
}

void LW_Main::MoveTop(long twips) {
    move(x(), static_cast<int>(std::lround(twips / kTwipsPerPixel)));
}

bool LW_Main::IsNormalState() const {
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
}

void LW_Main::SetHideMenuChecked(bool checked) {
    m_menus.m_hide->setChecked(checked);
}

bool LW_Main::HideMenuChecked() const {
    return m_menus.m_hide->isChecked();
}

void LW_Main::OpenCommSettingsDialog() {
    RunHook(m_hooks.commDialog);
}

void LW_Main::EndApplication() {
    m_ended = true;
    hide();
    QCoreApplication::exit(0);
}

bool LW_Main::event(QEvent* event) {
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
            RunHook(m_hooks.activated);
        }
    }
    return handled;
}

void LW_Main::closeEvent(QCloseEvent* event) {
    // The close box runs the same exit sequence as "&Exit".
    if (m_hooks.quit && !m_ended) {
        m_hooks.quit();
    }
    event->accept();
}

void LW_Main::ShowAbout() {
    if (m_about == nullptr) {
        m_about = new AboutWindow(this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace loomway
