#include "ui/dialogs/pppdialog.h"

#include "lines/pppprotocol.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace loomway {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text,
                  const QString& toolTip = {}) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(toolTip);
    return label;
}

QLineEdit* MakeLine(QWidget* parent, const char* name, const QString& toolTip) {
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setToolTip(toolTip);
    return line;
}

} // namespace

PppDialog::PppDialog(ProfileFile& file, MessageBox& messages, QWidget* owner)
    : SettingsDialog(owner, QStringLiteral("- Internet (PPP)")), m_file(file),
      m_messages(messages) {
    setObjectName(QStringLiteral("PppDialog"));
    const QString networkTip =
        QStringLiteral("The handheld's network, such as 10.0.2.0/24: the handheld gets .15 of "
                       "it, the gateway is .2, the name server .3.");
    const QString desktopTip = QStringLiteral(
        "YES: the gateway address also reaches services that listen on this computer's "
        "loopback (127.0.0.1), such as a local web proxy. NO: nothing on the loopback.");
    const QString loginTip =
        QStringLiteral("Both empty: the handheld may log in with any name and password.");

    auto* networkLabel = MakeLabel(this, "lblNetwork", QStringLiteral("&Network"), networkTip);
    m_network = MakeEditableList(this, "comNetwork", networkTip);
    m_addresses = MakeLabel(this, "lblAddresses", {});
    auto* desktopLabel =
        MakeLabel(this, "lblDesktop", QStringLiteral("&Desktop's own services"), desktopTip);
    m_desktop = MakeEditableList(this, "comDesktop", desktopTip);
    RefuseTyping(m_desktop);
    auto* userLabel = MakeLabel(this, "lblUser", QStringLiteral("&User name"), loginTip);
    m_user = MakeLine(this, "txtUser", loginTip);
    auto* passwordLabel = MakeLabel(this, "lblPassword", QStringLiteral("&Password"), loginTip);
    m_password = MakeLine(this, "txtPassword", loginTip);
    m_password->setEchoMode(QLineEdit::Password);
    auto* note =
        MakeLabel(this, "lblNote", QStringLiteral("A new connection of the handheld uses them."));

    networkLabel->setBuddy(m_network);
    desktopLabel->setBuddy(m_desktop);
    userLabel->setBuddy(m_user);
    passwordLabel->setBuddy(m_password);

    auto* grid = new QGridLayout;
    grid->addWidget(networkLabel, 0, 0);
    grid->addWidget(m_network, 0, 1);
    grid->addWidget(m_addresses, 1, 1);
    grid->addWidget(desktopLabel, 2, 0);
    grid->addWidget(m_desktop, 2, 1);
    grid->addWidget(userLabel, 3, 0);
    grid->addWidget(m_user, 3, 1);
    grid->addWidget(passwordLabel, 4, 0);
    grid->addWidget(m_password, 4, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addLayout(ButtonRow());

    setTabOrder(m_network, m_desktop);
    setTabOrder(m_desktop, m_user);
    setTabOrder(m_user, m_password);
    setTabOrder(m_password, m_ok);
    setTabOrder(m_ok, m_cancel);

    connect(m_network, &QComboBox::editTextChanged, this, [this] { ShowAddresses(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOkClicked(); });
}

void PppDialog::Open() {
    if (!BeginOpening()) {
        return;
    }
    m_read = ReadPppSettingTexts(m_file);
    FillList(m_network, {QStringLiteral("10.0.2.0/24")});
    ShowText(m_network, ToQt(m_read[0].shown));
    FillList(m_desktop, {QStringLiteral("NO"), QStringLiteral("YES")});
    ShowText(m_desktop, ToQt(m_read[1].shown));
    m_user->setText(ToQt(m_read[2].shown));
    m_password->setText(ToQt(m_read[3].shown));
    ShowAddresses();
    m_network->setFocus();
    FinishOpening();
}

void PppDialog::ShowAddresses() {
    std::string problem;
    const auto network = ParsePppNetwork(FromQt(m_network->currentText().trimmed()), problem);
    if (!network) {
        m_addresses->setText(ToQt(problem));
        return;
    }
    PppSettings at;
    at.network = network->address;
    at.prefix = network->prefix;
    m_addresses->setText(ToQt("Handheld " + ppp::Ipv4Text(at.Handheld()) + ", gateway " +
                              ppp::Ipv4Text(at.Gateway()) + ", DNS " + ppp::Ipv4Text(at.Dns())));
}

void PppDialog::OnOkClicked() {
    const PppTexts texts = {FromQt(m_network->currentText().trimmed()),
                            FromQt(m_desktop->currentText()), FromQt(m_user->text()),
                            FromQt(m_password->text())};
    std::string problem;
    if (!SavePppSettings(m_file, m_read, texts, problem)) {
        m_messages.Show("Invalid Network", problem + ".", MessageIcon::Exclamation,
                        MessageButtons::Ok);
        m_network->setFocus();
        return;
    }
    accept();
}

} // namespace loomway
