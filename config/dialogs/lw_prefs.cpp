#include "config/dialogs/lw_prefs.h"

#include "config/dialogs/fileprogramchooser.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace loomway {

namespace {

const QString kNone = QStringLiteral("<NONE>");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text,
                  const QString& toolTip = {}) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setToolTip(toolTip);
    return label;
}

} // namespace

LW_PREFS::LW_PREFS(ProfileFile& file, Settings& settings, ProgramChooser& chooser, QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Startup Preferences")), m_file(file),
      m_settings(settings), m_chooser(chooser) {
    setObjectName(QStringLiteral("LW_PREFS"));
    const QString tip = QStringLiteral("Please select one of these options.");

    auto* lblLaunchMeth = MakeLabel(this, "lblLaunchMeth",
                                    QStringLiteral("How would you like the display presented when "
                                                   "this application is started?"));
    m_comLaunchMeth = MakeEditableList(this, "comLaunchMeth", tip);
    auto* lblmenuvisible =
        MakeLabel(this, "lblmenuvisible",
                  QStringLiteral("Would you like the menu visible upon application start?"));
    m_commenuvisible = MakeEditableList(this, "commenuvisible", tip);
    auto* lblLoomway = MakeLabel(
        this, "lblLoomway", QStringLiteral("Would you like the Loomway ON or OFF on Startup?"));
    m_comLoomway = MakeEditableList(this, "comLoomway", tip);
    auto* label1 = MakeLabel(this, "Label1",
                             QStringLiteral("Close the following application (if in memory) "
                                            "before this program starts."));
    m_comCloseApp = MakeEditableList(
        this, "comCloseApp",
        QStringLiteral("Close the following application when Palm Loomway is Started."));
    auto* label2 = MakeLabel(
        this, "Label2",
        QStringLiteral("Start the following application before this program exits (Click in Box "
                       "below to Select File Name):"),
        QStringLiteral("Click in Box below to select a program to start before Palm Loomway "
                       "closes."));
    m_lblStart = MakeLabel(
        this, "lblStart", kNone,
        QStringLiteral("Click Here to Select an Application to Start before Palm Loomway closes."));
    m_lblStart->setWordWrap(false);
    m_lblStart->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_lblStart->setCursor(Qt::PointingHandCursor);
    m_lblStart->setMinimumWidth(360);
    m_lblStart->installEventFilter(this);

    // Each question names its box, also for a screen reader; the program box
    // is reached with Tab and opened with Space or Enter as well.
    m_lblStart->setFocusPolicy(Qt::TabFocus);
    lblLaunchMeth->setBuddy(m_comLaunchMeth);
    lblmenuvisible->setBuddy(m_commenuvisible);
    lblLoomway->setBuddy(m_comLoomway);
    label1->setBuddy(m_comCloseApp);
    label2->setBuddy(m_lblStart);

    RefuseTyping(m_comLaunchMeth);
    RefuseTyping(m_commenuvisible);
    RefuseTyping(m_comLoomway);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(0, 1);
    grid->addWidget(lblLaunchMeth, 0, 0);
    grid->addWidget(m_comLaunchMeth, 0, 1);
    grid->addWidget(lblmenuvisible, 1, 0);
    grid->addWidget(m_commenuvisible, 1, 1);
    grid->addWidget(lblLoomway, 2, 0);
    grid->addWidget(m_comLoomway, 2, 1);
    grid->addWidget(label1, 3, 0);
    grid->addWidget(m_comCloseApp, 3, 1);
    grid->addWidget(label2, 4, 0, 1, 2);
    grid->addWidget(m_lblStart, 5, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow());

    setTabOrder(m_comLaunchMeth, m_commenuvisible);
    setTabOrder(m_commenuvisible, m_comLoomway);
    setTabOrder(m_comLoomway, m_comCloseApp);
    setTabOrder(m_comCloseApp, m_lblStart);
    setTabOrder(m_lblStart, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

void LW_PREFS::Open() {
    if (!BeginOpening()) {
        return;
    }
    FillList(m_comLaunchMeth, {QStringLiteral("LEDs"), QStringLiteral("SND/RCV Rate"),
                               QStringLiteral("Data Sniffer")});
    FillList(m_commenuvisible, {QStringLiteral("YES"), QStringLiteral("NO")});
    FillList(m_comLoomway, {QStringLiteral("ON"), QStringLiteral("OFF")});
    FillList(m_comCloseApp, {QStringLiteral("None"), QStringLiteral("HotSync Manager")});
    LoadPreferencesIntoDialog();
    m_comLaunchMeth->setFocus();
    FinishOpening();
}

QString LW_PREFS::Stored(const char* key, const QString& fallback) {
    const SettingText& read = m_read[key] = ReadSettingText(m_file, "Preferences", key);
    return read.shown.empty() ? fallback : ToQt(read.shown);
}

void LW_PREFS::Write(const char* key, const QString& text) {
    WriteSettingText(m_file, "Preferences", key, m_read[key], FromQt(text));
}

void LW_PREFS::LoadPreferencesIntoDialog() {
    ShowText(m_commenuvisible, Stored("MenuVisible", QStringLiteral("YES")));
    ShowText(m_comLaunchMeth, Stored("Startup", QStringLiteral("Data Sniffer")));
    ShowText(m_comLoomway, Stored("Status", QStringLiteral("OFF")));
    ShowText(m_comCloseApp, Stored("CloseApp", m_comCloseApp->itemText(0)));
    m_lblStart->setText(Stored("StartApp", kNone));
    const std::string startApp = m_read["StartApp"].shown;
    if (!startApp.empty()) {
        m_settings.ExitProgramPath = startApp;
    }
}

bool LW_PREFS::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lblStart && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            lblStart_Click();
            return true;
        }
    }
    if (watched == m_lblStart && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_lblStart->rect().contains(mouse->position().toPoint())) {
            lblStart_Click();
            return true;
        }
    }
    return SettingsDialog::eventFilter(watched, event);
}

void LW_PREFS::lblStart_Click() {
    const ProgramChooser::Result result = m_chooser.Choose(
        this, QStringLiteral("Select File to Start on Exit"), ProgramChooserStartFolder());
    switch (result.outcome) {
    case ProgramChooser::Outcome::Chosen:
        m_lblStart->setText(CommandLineWord(result.path));
        break;
    case ProgramChooser::Outcome::Cancelled:
        break;
    case ProgramChooser::Outcome::Failed:
        m_lblStart->setText(kNone);
        break;
    }
}

void LW_PREFS::cmdOK_Click() {
    Write("Startup", m_comLaunchMeth->currentText());
    Write("MenuVisible", m_commenuvisible->currentText());
    Write("Status", m_comLoomway->currentText());
    Write("CloseApp", m_comCloseApp->currentText());
    Write("StartApp", m_lblStart->text());
    m_settings.ExitProgramPath = FromQt(m_lblStart->text());
    accept();
}

} // namespace loomway
