#include "ui/dialogs/methodsdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace loomway {

namespace {

QLabel* MakeQuestion(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString YesNo(bool on) {
    return on ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

MethodsDialog::MethodsDialog(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
                             MessageBox& messages, QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Methods")), m_file(file), m_settings(settings),
      m_redirection(redirection), m_messages(messages) {
    setObjectName(QStringLiteral("MethodsDialog"));
    const QString tip = QStringLiteral("Please select one of these options.");
    auto* serialQuestion =
        MakeQuestion(this, "lblSerialR", QStringLiteral("Enable Serial (to Modem) ReDirection?"));
    m_serialMethod = MakeEditableList(this, "comSerialR", tip);
    auto* printQuestion =
        MakeQuestion(this, "lblPrintR", QStringLiteral("Enable Print ReDirection?"));
    m_printMethod = MakeEditableList(this, "comPrintr", tip);
    auto* clipboardQuestion =
        MakeQuestion(this, "lblClipR", QStringLiteral("Enable Clipboard ReDirection?"));
    m_clipboardMethod = MakeEditableList(this, "comClipR", tip);

    // Each question names its box, also for a screen reader.
    serialQuestion->setBuddy(m_serialMethod);
    printQuestion->setBuddy(m_printMethod);
    clipboardQuestion->setBuddy(m_clipboardMethod);

    auto* grid = new QGridLayout;
    grid->addWidget(serialQuestion, 0, 0);
    grid->addWidget(m_serialMethod, 0, 1);
    grid->addWidget(printQuestion, 1, 0);
    grid->addWidget(m_printMethod, 1, 1);
    grid->addWidget(clipboardQuestion, 2, 0);
    grid->addWidget(m_clipboardMethod, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow());

    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_serialMethod);
    setTabOrder(m_serialMethod, m_printMethod);
    setTabOrder(m_printMethod, m_clipboardMethod);

    connect(m_ok, &QPushButton::clicked, this, [this] { OnOkClicked(); });
}

void MethodsDialog::Open() {
    if (!BeginOpening()) {
        return;
    }
    for (QComboBox* box : {m_serialMethod, m_printMethod, m_clipboardMethod}) {
        FillList(box, {QStringLiteral("YES"), QStringLiteral("NO")});
    }
    LoadMethods(m_file, m_settings);
    ShowText(m_serialMethod, YesNo(m_settings.SerialMethodOn));
    ShowText(m_printMethod, YesNo(m_settings.PrintMethodOn));
    ShowText(m_clipboardMethod, YesNo(m_settings.ClipboardMethodOn));
    m_ok->setFocus();
    FinishOpening();
}

void MethodsDialog::OnOkClicked() {
    const bool serialWasOn = m_settings.SerialMethodOn;
    SaveMethods(m_file, FromQt(m_serialMethod->currentText()), FromQt(m_printMethod->currentText()),
                FromQt(m_clipboardMethod->currentText()));
    LoadMethods(m_file, m_settings);

    if (serialWasOn && !m_settings.SerialMethodOn) {
        // The new methods are in force either way; the dialog stays open.
        const MessageAnswer answer = m_messages.Show(
            "Disconnect Now?", "Your current Serial connection will\nbe disconnected.  Is this OK?",
            MessageIcon::Critical, MessageButtons::YesNo, MessageAnswer::No);
        if (answer == MessageAnswer::Yes) {
            m_redirection.EndRedirection();
            m_redirection.StartRedirection();
        }
        return;
    }
    if (!serialWasOn && m_settings.SerialMethodOn) {
        m_redirection.EndRedirection();
        m_redirection.StartRedirection();
    }
    accept();
}

} // namespace loomway
