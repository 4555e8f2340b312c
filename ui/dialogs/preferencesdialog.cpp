#include "ui/dialogs/preferencesdialog.h"

#include "ui/dialogs/fileprogramchooser.h"

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

const QString kNone = QString::fromLatin1(kNoExitProgram);

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

PreferencesDialog::PreferencesDialog(ProfileFile& file, Settings& settings, ProgramChooser& chooser,
                                     QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Startup Preferences")), m_file(file),
      m_settings(settings), m_chooser(chooser) {
    setObjectName(QStringLiteral("PreferencesDialog"));
    const QString tip = QStringLiteral("Please select one of these options.");

    auto* startupDisplayQuestion =
        MakeLabel(this, "lblLaunchMeth",
                  QStringLiteral("How would you like the display presented when "
                                 "this application is started?"));
    m_startupDisplay = MakeEditableList(this, "comLaunchMeth", tip);
    auto* menuVisibleQuestion =
        MakeLabel(this, "lblmenuvisible",
                  QStringLiteral("Would you like the menu visible upon application start?"));
    m_menuVisible = MakeEditableList(this, "commenuvisible", tip);
    auto* redirectionQuestion = MakeLabel(
        this, "lblLoomway", QStringLiteral("Would you like the Loomway ON or OFF on Startup?"));
    m_redirectionAtStart = MakeEditableList(this, "comLoomway", tip);
    auto* closeProgramQuestion =
        MakeLabel(this, "Label1",
                  QStringLiteral("Close the following application (if in memory) "
                                 "before this program starts."));
    m_closeProgram = MakeEditableList(
        this, "comCloseApp",
        QStringLiteral("Close the following application when Palm Loomway is Started."));
    auto* exitProgramQuestion = MakeLabel(
        this, "Label2",
        QStringLiteral("Start the following application before this program exits (Click in Box "
                       "below to Select File Name):"),
        QStringLiteral("Click in Box below to select a program to start before Palm Loomway "
                       "closes."));
    m_exitProgram = MakeLabel(
        this, "lblStart", kNone,
        QStringLiteral("Click Here to Select an Application to Start before Palm Loomway closes."));
    m_exitProgram->setWordWrap(false);
    m_exitProgram->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_exitProgram->setCursor(Qt::PointingHandCursor);
    m_exitProgram->setMinimumWidth(360);
    m_exitProgram->installEventFilter(this);

    // Each question names its box, also for a screen reader; the program box
    // is reached with Tab and opened with Space or Enter as well.
    m_exitProgram->setFocusPolicy(Qt::TabFocus);
    startupDisplayQuestion->setBuddy(m_startupDisplay);
    menuVisibleQuestion->setBuddy(m_menuVisible);
    redirectionQuestion->setBuddy(m_redirectionAtStart);
    closeProgramQuestion->setBuddy(m_closeProgram);
    exitProgramQuestion->setBuddy(m_exitProgram);

    RefuseTyping(m_startupDisplay);
    RefuseTyping(m_menuVisible);
    RefuseTyping(m_redirectionAtStart);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(0, 1);
    grid->addWidget(startupDisplayQuestion, 0, 0);
    grid->addWidget(m_startupDisplay, 0, 1);
    grid->addWidget(menuVisibleQuestion, 1, 0);
    grid->addWidget(m_menuVisible, 1, 1);
    grid->addWidget(redirectionQuestion, 2, 0);
    grid->addWidget(m_redirectionAtStart, 2, 1);
    grid->addWidget(closeProgramQuestion, 3, 0);
    grid->addWidget(m_closeProgram, 3, 1);
    grid->addWidget(exitProgramQuestion, 4, 0, 1, 2);
    grid->addWidget(m_exitProgram, 5, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow());

    setTabOrder(m_startupDisplay, m_menuVisible);
    setTabOrder(m_menuVisible, m_redirectionAtStart);
    setTabOrder(m_redirectionAtStart, m_closeProgram);
    setTabOrder(m_closeProgram, m_exitProgram);
    setTabOrder(m_exitProgram, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, [this] { OnOkClicked(); });
}

void PreferencesDialog::Open() {
    if (!BeginOpening()) {
        return;
    }
    FillList(m_startupDisplay, {QStringLiteral("LEDs"), QStringLiteral("SND/RCV Rate"),
                                QStringLiteral("Data Sniffer")});
    FillList(m_menuVisible, {QStringLiteral("YES"), QStringLiteral("NO")});
    FillList(m_redirectionAtStart, {QStringLiteral("ON"), QStringLiteral("OFF")});
    FillList(m_closeProgram, {QStringLiteral("None"), QStringLiteral("HotSync Manager")});
    LoadPreferencesIntoDialog();
    m_startupDisplay->setFocus();
    FinishOpening();
}

QString PreferencesDialog::Stored(const char* key, const QString& fallback) {
    const SettingText& read = m_read[key] = ReadSettingText(m_file, "Preferences", key);
    return read.shown.empty() ? fallback : ToQt(read.shown);
}

void PreferencesDialog::Write(const char* key, const QString& text) {
    WriteSettingText(m_file, "Preferences", key, m_read[key], FromQt(text));
}

void PreferencesDialog::LoadPreferencesIntoDialog() {
    ShowText(m_menuVisible, Stored("MenuVisible", QStringLiteral("YES")));
    ShowText(m_startupDisplay, Stored("Startup", QStringLiteral("Data Sniffer")));
    ShowText(m_redirectionAtStart, Stored("Status", QStringLiteral("OFF")));
    ShowText(m_closeProgram, Stored("CloseApp", m_closeProgram->itemText(0)));
    m_exitProgram->setText(Stored("StartApp", kNone));
    const std::string startApp = m_read["StartApp"].shown;
    if (!startApp.empty()) {
        m_settings.ExitProgramPath = ExitProgramSetting(startApp);
    }
}

bool PreferencesDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_exitProgram && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnExitProgramClicked();
            return true;
        }
    }
    if (watched == m_exitProgram && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_exitProgram->rect().contains(mouse->position().toPoint())) {
            OnExitProgramClicked();
            return true;
        }
    }
    return SettingsDialog::eventFilter(watched, event);
}

void PreferencesDialog::OnExitProgramClicked() {
    const ProgramChooser::Result result = m_chooser.Choose(
        this, QStringLiteral("Select File to Start on Exit"), ProgramChooserStartFolder());
    switch (result.outcome) {
    case ProgramChooser::Outcome::Chosen:
        m_exitProgram->setText(CommandLineWord(result.path));
        break;
    case ProgramChooser::Outcome::Cancelled:
        break;
    case ProgramChooser::Outcome::Failed:
        m_exitProgram->setText(kNone);
        break;
    }
}

void PreferencesDialog::OnOkClicked() {
    Write("Startup", m_startupDisplay->currentText());
    Write("MenuVisible", m_menuVisible->currentText());
    Write("Status", m_redirectionAtStart->currentText());
    Write("CloseApp", m_closeProgram->currentText());
    Write("StartApp", m_exitProgram->text());
    m_settings.ExitProgramPath = ExitProgramSetting(FromQt(m_exitProgram->text()));
    accept();
}

} // namespace loomway
