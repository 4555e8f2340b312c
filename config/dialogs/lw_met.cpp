#include "config/dialogs/lw_met.h"

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

LW_Met::LW_Met(ProfileFile& file, Settings& settings, RedirectionSwitch& redirection,
               MessageBox& messages, QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Methods")), m_file(file), m_settings(settings),
      m_redirection(redirection), m_messages(messages) {
    setObjectName(QStringLiteral("LW_Met"));
    const QString tip = QStringLiteral("Please select one of these options.");
    auto* lblSerialR =
        MakeQuestion(this, "lblSerialR", QStringLiteral("Enable Serial (to Modem) ReDirection?"));
    m_comSerialR = MakeEditableList(this, "comSerialR", tip);
    auto* lblPrintR = MakeQuestion(this, "lblPrintR", QStringLiteral("Enable Print ReDirection?"));
    m_comPrintr = MakeEditableList(this, "comPrintr", tip);
    auto* lblClipR =
        MakeQuestion(this, "lblClipR", QStringLiteral("Enable Clipboard ReDirection?"));
    m_comClipR = MakeEditableList(this, "comClipR", tip);

    // Each question names its box, also for a screen reader.
    lblSerialR->setBuddy(m_comSerialR);
    lblPrintR->setBuddy(m_comPrintr);
    lblClipR->setBuddy(m_comClipR);

    auto* grid = new QGridLayout;
    grid->addWidget(lblSerialR, 0, 0);
    grid->addWidget(m_comSerialR, 0, 1);
    grid->addWidget(lblPrintR, 1, 0);
    grid->addWidget(m_comPrintr, 1, 1);
    grid->addWidget(lblClipR, 2, 0);
    grid->addWidget(m_comClipR, 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(ButtonRow());

    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_comSerialR);
    setTabOrder(m_comSerialR, m_comPrintr);
    setTabOrder(m_comPrintr, m_comClipR);

    connect(m_ok, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

void LW_Met::Open() {
    if (!BeginOpening()) {
        return;
    }
    for (QComboBox* box : {m_comSerialR, m_comPrintr, m_comClipR}) {
        FillList(box, {QStringLiteral("YES"), QStringLiteral("NO")});
    }
    LoadMethods(m_file, m_settings);
    ShowText(m_comSerialR, YesNo(m_settings.SerialMethodOn));
    ShowText(m_comPrintr, YesNo(m_settings.PrintMethodOn));
    ShowText(m_comClipR, YesNo(m_settings.ClipboardMethodOn));
    m_ok->setFocus();
    FinishOpening();
}

void LW_Met::cmdOK_Click() {
    const bool serialWasOn = m_settings.SerialMethodOn;
    SaveMethods(m_file, FromQt(m_comSerialR->currentText()), FromQt(m_comPrintr->currentText()),
                FromQt(m_comClipR->currentText()));
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
