// The settings dialogs: what they show, check and write; the program chooser.
#include "core/redirectionswitch.h"
#include "platform/programstarter.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"
#include "ui/dialogs/commdialog.h"
#include "ui/dialogs/fileprogramchooser.h"
#include "ui/dialogs/methodsdialog.h"
#include "ui/dialogs/pppdialog.h"
#include "ui/dialogs/preferencesdialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <stdexcept>
#include <utility>

using namespace loomway;
using namespace loomway::test;

namespace {
template <typename T = QWidget> T* child(QWidget& parent, const QString& name) {
    return parent.findChild<T*>(name);
}

// Labels, and lists as "the label naming it: [entries]", each with its tip
// in braces ({=}: the tip before).
QString texts(QWidget& dialog) {
    QStringList out;
    QString tip;
    const auto tipOf = [&tip](QWidget* w) {
        const QString said = w->toolTip().isEmpty() ? ""
                             : w->toolTip() == tip  ? " {=}"
                                                    : " {" + w->toolTip() + "}";
        tip = w->toolTip();
        return said;
    };
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(w);
        if (auto* box = qobject_cast<QComboBox*>(w)) {
            const auto by =
                QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
            label = by.size() == 1 ? qobject_cast<QLabel*>(by[0].first->object()) : nullptr;
            QStringList entries;
            for (int i = 0; i < box->count(); ++i) {
                entries << box->itemText(i);
            }
            const QString name = label ? label->text() + tipOf(label) : "?";
            out << name + ": [" + entries.join(",") + "]" + tipOf(box);
        } else if (label && !qobject_cast<QComboBox*>(label->buddy())) {
            out << label->text() + tipOf(label);
        }
    }
    return out.join("; ");
}

// The names in the order Tab visits them, starting at the first.
QStringList tabOrder(QWidget& dialog, const QStringList& names) {
    QStringList order;
    QWidget* w = child(dialog, names.first());
    for (int i = 0; i < 100 && order.size() < names.size(); ++i, w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && !order.contains(w->objectName())) {
            order << w->objectName();
        }
    }
    return order;
}

// The first fault of the layout, if any: each label left of its field, rows
// from the top, Cancel at the bottom left and OK at the bottom right.
QString layoutFault(QWidget& dialog, const QString& rows) { // "label:field ..."
    int lastTop = -1;
    auto* ok = child<QPushButton>(dialog, "cmdOK");
    auto* cancel = child<QPushButton>(dialog, "cmdCancel");
    for (const QString& row : rows.split(' ', Qt::SkipEmptyParts)) {
        const QString labelName = row.section(':', 0, 0), fieldName = row.section(':', 1);
        QWidget* label = child(dialog, labelName);
        QWidget* field = child(dialog, fieldName);
        const QRect l(label->mapTo(&dialog, QPoint()), label->size());
        const QRect f(field->mapTo(&dialog, QPoint()), field->size());
        if (!label->isVisible() || !field->isVisible() || l.right() >= f.left() ||
            l.bottom() < f.top() || f.bottom() < l.top() || f.top() <= lastTop ||
            f.bottom() >= ok->y() || f.right() > dialog.width()) {
            return QString("%1/%2 at %3,%4").arg(labelName, fieldName).arg(f.x()).arg(f.y());
        }
        lastTop = f.top();
    }
    if (ok->text() != "&OK" || cancel->text() != "&Cancel" || cancel->x() >= ok->x() ||
        ok->geometry().right() < dialog.width() / 2 || cancel->x() > dialog.width() / 2) {
        return "buttons";
    }
    return {};
}

void clickOk(QWidget& dialog) {
    QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
}

void typeInto(QComboBox* box, const QString& text) {
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(box->lineEdit(), text);
}

// A settings file whose second write fails in an unexpected way, when asked.
struct File : MemoryProfileFile {
    bool WriteString(const std::string& s, const std::string& k, const std::string& v) override {
        if (throwOnSecond && writes.size() == 1) {
            writes.push_back({s, k, v});
            throw std::runtime_error("disk full");
        }
        return MemoryProfileFile::WriteString(s, k, v);
    }
    std::string written() const {
        std::string out;
        for (const auto& w : writes) {
            out += (out.empty() ? "" : "; ") + w.section + " " + w.key + "=" + w.value;
        }
        return out;
    }
    bool throwOnSecond = false;
};

struct Chooser : ProgramChooser {
    Result Choose(QWidget* parent, const QString& title, const QString& folder) override {
        asked = QStringList{parent->windowTitle(), title, folder}.join("|");
        ++chosen;
        return std::exchange(next, {Outcome::Cancelled, {}});
    }
    Result next{Outcome::Cancelled, {}};
    QString asked;
    int chosen = 0;
};

// The three dialogs over a shown owner, with three serial devices.
struct Rig : SerialDeviceList {
    std::vector<SerialDevice> Devices() override {
        return {{"/dev/ttyS0", ""}, {"/dev/ttyS1", ""}, {"/dev/ttyUSB0", "USB serial"}};
    }
    File file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    Chooser chooser;
    QWidget owner;
    CommDialog conf{file, settings, redirection, messages, *this, &owner};
    MethodsDialog met{file, settings, redirection, messages, &owner};
    PreferencesDialog prefs{file, settings, chooser, &owner};
    PppDialog ppp{file, messages, &owner};
    Rig() {
        owner.show();
        storeComm(file, "1", "2", "9600");
    }
    QComboBox* box(const char* name) { return owner.findChild<QComboBox*>(name); }
    QString shown(std::initializer_list<const char*> boxes, const char* between = " ") {
        QStringList texts;
        for (const char* name : boxes) {
            texts << box(name)->currentText();
        }
        return texts.join(between);
    }
    QString comm() { return shown({"comPP", "comMP", "comSpeed"}); }
    QString methods() { return shown({"comSerialR", "comPrintr", "comClipR"}); }
    QLabel* start() { return child<QLabel>(prefs, "lblStart"); }
    QString preferences() {
        return shown({"comLaunchMeth", "commenuvisible", "comLoomway", "comCloseApp"}, "|") + "|" +
               start()->text();
    }
    void choose(ProgramChooser::Outcome outcome, const QString& path = {}) {
        chooser.next = {outcome, path};
        QTest::mouseClick(start(), Qt::LeftButton);
    }
};
} // namespace

class TestSettingsDialogs : public QObject {
    Q_OBJECT
private slots:
    // Each dialog's title, the labels and lists with their tips, the order
    // Tab takes and the rows' layout; open, it holds its owner disabled.
    void looks_data() {
        const QString ports = ": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16] {=}; Device {The serial "
                              "device that this COM Port number stands for, or a network endpoint:"
                              "\ntcp:HOST:PORT, telnet:HOST:PORT, rfc2217:HOST:PORT, modem: (the "
                              "built-in modem)\nor ppp: (the built-in PPP gateway to the desktop's "
                              "network).}: [/dev/ttyS0,/dev/ttyS1,/dev/ttyUSB0 \u2014 "
                              "USB serial";
        const QString pick = " {Please select one of these options.}";
        const QString method = " ReDirection?: [YES,NO]" + pick;
        addRows(
            {"title", "order", "rows", "texts"},
            {{"comm", "Palm Loomway- Communication",
              "comPP comPPDevice comMP comMPDevice comSpeed cmdOK cmdCancel",
              "Label1:comPP lblMP:comMP lblSpeed:comSpeed",
              qPrintable(
                  "Palm Device; COM Port {This is the COM Port that the Cradle (or Ir Port) "
                  "uses.}" +
                  ports + "] {=}; Modem; COM Port {This is the COM Port that your Modem uses.}" +
                  ports +
                  ",modem: \u2014 built-in modem, dials the numbers of [Phonebook],ppp: \u2014 "
                  "built-in PPP gateway, the handheld online over a direct cable,"
                  "telnet:bbs.example.org:23 \u2014 telnet host, e.g. a BBS,tcp:localhost:2323 "
                  "\u2014 raw TCP,rfc2217:localhost:3333 \u2014 remote serial port, e.g. "
                  "ser2net] {=}; Speed for Both Ports {Speed in which the Modem and the Palm "
                  "Device will Communicate.}: [110,300,1200,2400,4800,9600,19200,28800,38400,"
                  "57600,115200] {Speed in which the Palm Device and the Remote (Modem) will "
                  "Communicate.}")},
             {"methods", "Palm Loomway- Methods", "cmdOK cmdCancel comSerialR comPrintr comClipR",
              "lblSerialR:comSerialR lblPrintR:comPrintr lblClipR:comClipR",
              qPrintable("Enable Serial (to Modem)" + method + "; Enable Print" + method +
                         "; Enable Clipboard" + method)},
             {"prefs", "Palm Loomway- Startup Preferences",
              "comLaunchMeth commenuvisible comLoomway comCloseApp lblStart cmdOK cmdCancel", "",
              qPrintable(
                  "How would you like the display presented when this application is "
                  "started?: [LEDs,SND/RCV Rate,Data Sniffer]" +
                  pick + "; Would you like the menu visible upon application start?: [YES,NO]" +
                  pick + "; Would you like the Loomway ON or OFF on Startup?: [ON,OFF]" + pick +
                  "; Close the following application (if in memory) before this program "
                  "starts.: [None,HotSync Manager] {Close the following application when "
                  "Palm Loomway is Started.}; Start the following application before this "
                  "program exits (Click in Box below to Select File Name): {Click in Box "
                  "below to select a program to start before Palm Loomway closes.}; <NONE> "
                  "{Click Here to Select an Application to Start before Palm Loomway "
                  "closes.}")}});
    }
    void looks() {
        Rig rig;
        const QByteArray name = QTest::currentDataTag();
        name == "comm" ? rig.conf.Open() : name == "methods" ? rig.met.Open() : rig.prefs.Open();
        QDialog& dialog = name == "comm"      ? static_cast<QDialog&>(rig.conf)
                          : name == "methods" ? static_cast<QDialog&>(rig.met)
                                              : rig.prefs;
        QCOMPARE(dialog.windowTitle(), cell("title"));
        QVERIFY(dialog.isVisible() && !dialog.isModal() && !rig.owner.isEnabled());
        QCOMPARE(texts(dialog), cell("texts"));
        const QStringList order = cell("order").split(' ');
        QCOMPARE(tabOrder(dialog, order), order);
        QCOMPARE(layoutFault(dialog, cell("rows")), QString());
    }

    // Centred on the screen.
    void commDialog() {
        Rig rig;
        rig.conf.Open();
        const QRect screen = rig.conf.screen()->geometry();
        QCOMPARE(rig.conf.pos(), screen.topLeft() + QPoint(screen.width() - rig.conf.width(),
                                                           screen.height() - rig.conf.height()) /
                                                        2);
        for (const char* name : {"comPP", "comSpeed"}) { // typing refused, arrows pick
            QTest::keyClicks(rig.box(name), "abc1");
            QTest::keyClicks(rig.box(name)->lineEdit(), "x");
        }
        QTest::keyClick(rig.box("comSpeed"), Qt::Key_Down);
        rig.box("comPP")->setCurrentIndex(5);
        rig.conf.Open(); // already open: stays as the user left it
        QCOMPARE(rig.comm(), QString("6 2 19200"));
        rig.conf.close();
        QVERIFY(rig.owner.isEnabled());
        rig.conf.Open(); // filled again, not added to
        QCOMPARE(rig.box("comPP")->count(), 16);
        QCOMPARE(rig.comm(), QString("1 2 9600"));
        // A device that is no endpoint is refused (which are: tests/lines).
        typeInto(rig.box("comPPDevice"), "telnet:bbs.example.org:23");
        typeInto(rig.box("comMPDevice"), "ftp:host:21");
        clickOk(rig.conf);
        QVERIFY(rig.conf.isVisible() && rig.file.writes.empty());
        const auto& message = rig.messages.messages.at(0); // at(1): the failure below
        QVERIFY2(message.title == "Invalid Device" && message.icon == MessageIcon::Exclamation &&
                     message.text.find("tcp:HOST:PORT") != std::string::npos,
                 message.text.c_str());
        rig.box("comMPDevice")->setCurrentIndex(3);
        clickOk(rig.conf);
        QVERIFY(!rig.conf.isVisible());
        QCOMPARE(PortDevice(rig.file, 2), std::string("modem:"));
        QCOMPARE(PortDevice(rig.file, 1), std::string("telnet:bbs.example.org:23"));
        rig.conf.Open();
        QCOMPARE(rig.box("comMPDevice")->currentIndex(), 3);
        QCOMPARE(rig.box("comPPDevice")->currentText(), QString("telnet:bbs.example.org:23"));
        rig.file.writes.clear(); // an unexpected failure during OK is reported; stays open
        rig.file.throwOnSecond = true;
        clickOk(rig.conf);
        QVERIFY(rig.conf.isVisible() && !rig.owner.isEnabled());
        QCOMPARE(rig.messages.messages.at(1).text,
                 std::string("Error Number:  0-Error - disk full"));
        rig.file.throwOnSecond = false;
        clickOk(rig.conf);
        QVERIFY(!rig.conf.isVisible());
        CommDialog lone(rig.file, rig.settings, rig.redirection, rig.messages, rig, nullptr);
        lone.Open(); // without an owner as well
        QVERIFY(lone.isVisible());
    }

    // What the boxes show of the stored texts (how numbers are read: tst_settings).
    void commShown_data() {
        addRows({"source", "destination", "speed", "shown"},
                {{"outside the lists", "20", "17", "14400", "20 17 14400"},
                 {"leading digits", "3x", "07", "57600 bps", "3 07 57600"},
                 {"nothing stored", "", "", "", "1 1 19200"}});
    }
    void commShown() {
        Rig rig;
        storeComm(rig.file, cell("source").toStdString(), cell("destination").toStdString(),
                  cell("speed").toStdString());
        rig.conf.Open();
        QCOMPARE(rig.comm(), cell("shown"));
        QVERIFY(rig.file.writes.empty());
    }

    // Two texts with one number, or two numbers for one device, are one port:
    // OK warns and writes nothing. Otherwise it writes the texts as shown and
    // takes their numbers (0: none).
    void commOk_data() {
        addRows({"destination", "device", "written", "number", "reconnect"},
                {{"2.6 rounds to 3", "2.6", "", "", "", "off"},
                 {"same device", "4", "/dev/ttyUSB0", "", "", ""},
                 {"30.4", "30.4", "", "Source Port=3; Destination Port=30.4; Common Speed=115200",
                  "30", ""},
                 {"own device, reconnect off", "4", "/tmp/pty-b",
                  "Source Port=3; Destination Port=4; Common Speed=115200; Ports COM4=/tmp/pty-b; "
                  "Ports Reconnect=NO",
                  "4", "off"},
                 {"no number", "3abc", "",
                  "Source Port=3; Destination Port=3abc; Common Speed=115200", "0", ""}});
    }
    void commOk() {
        const QString destination = cell("destination"), written = cell("written");
        Rig rig;
        rig.conf.Open();
        rig.file.set("Ports", "COM3", "/dev/ttyUSB0");
        rig.box("comPP")->setCurrentIndex(2);
        typeInto(rig.box("comMP"), destination);
        if (!cell("device").isEmpty()) {
            typeInto(rig.box("comMPDevice"), cell("device"));
        }
        rig.box("comSpeed")->setCurrentIndex(10);
        auto* reconnect = child<QCheckBox>(rig.conf, "chkReconnect");
        QVERIFY(reconnect->isChecked()); // on unless the file says NO
        reconnect->setChecked(cell("reconnect") != "off");
        clickOk(rig.conf);
        QCOMPARE(rig.conf.isVisible(), written.isEmpty());
        QCOMPARE(rig.owner.isEnabled(), !written.isEmpty());
        QCOMPARE(rig.file.written(), written.toStdString());
        if (written.isEmpty()) {
            QCOMPARE(rig.messages.messages.size(), std::size_t(1));
            QCOMPARE(rig.messages.messages[0].title + ": " + rig.messages.messages[0].text,
                     std::string("Invalid Assignment: Ports specified cannot be the same.\nPlease "
                                 "select a different COM\nport for each one specified."));
            return;
        }
        QCOMPARE(rig.settings.DestinationPort.value_or("none"), cell("number").toStdString());
        QVERIFY(rig.handheld.calls.empty() && rig.messages.messages.empty());
        rig.conf.Open(); // read back
        QCOMPARE(rig.comm(), "3 " + destination + " 115200");
        QCOMPARE(reconnect->isChecked(), cell("reconnect") != "off");
    }

    // [PPP] shown as stored, defaults where absent, the password masked and
    // the addresses of the network as typed. OK refuses a network that is not
    // one with a message and writes nothing; otherwise it writes the four keys,
    // which read back, and closes.
    void pppDialog() {
        Rig rig;
        rig.file.set("PPP", "User", "palm");
        rig.ppp.Open();
        auto* user = child<QLineEdit>(rig.ppp, "txtUser");
        auto* password = child<QLineEdit>(rig.ppp, "txtPassword");
        QCOMPARE(rig.ppp.windowTitle(), QString("Palm Loomway- Internet (PPP)"));
        QCOMPARE(rig.shown({"comNetwork", "comDesktop"}) + " " + user->text(),
                 QString("10.0.2.0/24 NO palm"));
        QVERIFY(password->echoMode() == QLineEdit::Password && !rig.owner.isEnabled());
        QCOMPARE(layoutFault(rig.ppp, "lblNetwork:comNetwork lblDesktop:comDesktop lblUser:txtUser "
                                      "lblPassword:txtPassword"),
                 QString());
        typeInto(rig.box("comNetwork"), "10.0.2.1/24");
        clickOk(rig.ppp);
        QVERIFY(rig.ppp.isVisible() && rig.file.writes.empty());
        QCOMPARE(rig.messages.messages.at(0).title + ": " + rig.messages.messages.at(0).text,
                 std::string("Invalid Network: \"10.0.2.1/24\" has host bits set; a network "
                             "address ends in zeros, as 10.0.2.0/24."));
        typeInto(rig.box("comNetwork"), " 192.168.7.0/24");
        QCOMPARE(child<QLabel>(rig.ppp, "lblAddresses")->text(),
                 QString("Handheld 192.168.7.15, gateway 192.168.7.2, DNS 192.168.7.3"));
        rig.box("comDesktop")->setCurrentIndex(1);
        QTest::keyClicks(password, "s3cret");
        clickOk(rig.ppp);
        QVERIFY(!rig.ppp.isVisible() && rig.owner.isEnabled());
        QCOMPARE(rig.file.written(), std::string("PPP Network=192.168.7.0/24; PPP Desktop=YES; "
                                                 "PPP User=palm; PPP Password=s3cret"));
        const PppSettings back = LoadPppSettings(rig.file);
        QVERIFY(back.network == 0xC0A80700 && back.prefix == 24 && back.desktop &&
                back.user == "palm" && back.password == "s3cret" && back.problem.empty());
    }

    // Cancel writes nothing. Serial turned off asks first and the dialog
    // stays open; Yes restarts with the handheld port only.
    void methods() {
        Rig rig;
        rig.file.set("Methods", "LMW_C", "maybe");
        rig.settings.SerialMethodOn = rig.settings.PrintMethodOn = true;
        rig.redirection.StartRedirection();
        rig.met.Open();
        QCOMPARE(rig.methods(), QString("YES YES NO")); // "maybe" left the switch off
        typeInto(rig.box("comPrintr"), "NO");
        QTest::mouseClick(child<QPushButton>(rig.met, "cmdCancel"), Qt::LeftButton);
        QVERIFY(rig.settings.PrintMethodOn && !rig.met.isVisible() && rig.owner.isEnabled() &&
                rig.file.writes.empty());
        rig.met.Open();
        const auto calls = rig.handheld.calls.size();
        typeInto(rig.box("comPrintr"), "no");
        typeInto(rig.box("comClipR"), "Yes");
        clickOk(rig.met);
        QVERIFY(!rig.met.isVisible() && rig.owner.isEnabled() && rig.messages.messages.empty());
        QCOMPARE(rig.file.written(),
                 std::string("Methods LMW_S=YES; Methods LMW_P=no; Methods LMW_C=Yes"));
        QVERIFY(!rig.settings.PrintMethodOn && rig.settings.ClipboardMethodOn);
        QCOMPARE(rig.handheld.calls.size(), calls);
        rig.met.Open();
        typeInto(rig.box("comSerialR"), "NO");
        rig.messages.answers = {MessageAnswer::No};
        clickOk(rig.met);
        const auto& q = rig.messages.messages.at(0);
        QCOMPARE(q.title + "|" + q.text,
                 std::string("Disconnect Now?|Your current Serial connection will\nbe "
                             "disconnected.  Is this OK?"));
        QVERIFY(q.icon == MessageIcon::Critical && q.buttons == MessageButtons::YesNo &&
                q.defaultButton == MessageAnswer::No);
        QVERIFY(rig.met.isVisible() && rig.modem.IsOpen() && !rig.settings.SerialMethodOn);
        typeInto(rig.box("comSerialR"), "YES"); // turned on: restarts at once
        clickOk(rig.met);
        QVERIFY(!rig.met.isVisible() && rig.modem.IsOpen());
        rig.met.Open();
        typeInto(rig.box("comSerialR"), "NO");
        rig.messages.answers = {MessageAnswer::Yes};
        clickOk(rig.met);
        QVERIFY(rig.met.isVisible() && !rig.modem.IsOpen() && rig.handheld.IsOpen() &&
                rig.redirection.RedirectionActive());
        QCOMPARE(rig.messages.messages.size(), std::size_t(2));
    }

    // A chosen program shows quoted to stay one word; only OK makes it count.
    void prefsExitProgram() {
        Rig rig;
        rig.file.set("Preferences", "StartApp", "/usr/bin/former");
        rig.prefs.Open();
        QCOMPARE(rig.start()->textFormat(), Qt::PlainText);
        for (const char* name : {"comLaunchMeth", "commenuvisible", "comLoomway", "comCloseApp"}) {
            QTest::keyClicks(rig.box(name)->lineEdit(), "x"); // refused in the first three
        }
        QCOMPARE(rig.preferences(), QString("Data Sniffer|YES|OFF|Nonex|/usr/bin/former"));
        QCOMPARE(child<QLabel>(rig.prefs, "Label2")->buddy(), rig.start());
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A}) {
            QTest::keyClick(rig.start(), key);
        }
        QCOMPARE(rig.chooser.chosen, 2);
        for (auto [path, caption] : {std::pair{"/usr/bin/xterm", "/usr/bin/xterm"},
                                     {"/home/u/My Tools/it's", "'/home/u/My Tools/it'\\''s'"},
                                     {"/opt/a\"b\\c", "'/opt/a\"b\\c'"}}) {
            rig.choose(ProgramChooser::Outcome::Chosen, path);
            QCOMPARE(rig.start()->text(), QString(caption));
            const auto words = DetachedProgramStarter::SplitCommandLine(caption);
            QCOMPARE(words.value_or(std::vector<std::string>{}), std::vector<std::string>{path});
        }
        QCOMPARE(rig.chooser.asked,
                 "Palm Loomway- Startup Preferences|Select File to Start on Exit|" +
                     QDir::homePath());
        rig.choose(ProgramChooser::Outcome::Cancelled);
        QCOMPARE(rig.start()->text(), QString("'/opt/a\"b\\c'"));
        QCOMPARE(rig.settings.ExitProgramPath.value_or("none"), std::string("/usr/bin/former"));
        QTest::keyClick(&rig.prefs, Qt::Key_Escape);
        QVERIFY(rig.file.writes.empty() && rig.owner.isEnabled());
        rig.prefs.Open();
        QCOMPARE(rig.start()->text(), QString("/usr/bin/former"));
        rig.choose(ProgramChooser::Outcome::Chosen, "/bin/x");
        rig.choose(ProgramChooser::Outcome::Failed);
        QCOMPARE(rig.start()->text(), QString("<NONE>"));
        rig.choose(ProgramChooser::Outcome::Chosen, "/bin/x");
        clickOk(rig.prefs);
        QCOMPARE(rig.settings.ExitProgramPath.value_or("none"), std::string("/bin/x"));
    }

    // Stored values show as they are and are written back byte for byte.
    void prefsShownAndWritten_data() {
        addRows({"stored", "shown"},
                {{"nothing", "", "Data Sniffer|YES|OFF|None|<NONE>"},
                 {"8-bit", "LEDs|maybe|on|Caf\u00e9|/opt/M\u00fcller/start --flag",
                  "LEDs|maybe|on|Caf\u00e9|/opt/M\u00fcller/start --flag"}});
    }
    void prefsShownAndWritten() {
        const QString stored = cell("stored"), shown = cell("shown");
        Rig rig;
        const char* keys[] = {"Startup", "MenuVisible", "Status", "CloseApp", "StartApp"};
        const QStringList values = (stored.isEmpty() ? shown : stored).split('|');
        for (int i = 0; i < values.size() && !stored.isEmpty(); ++i) {
            rig.file.set("Preferences", keys[i], values[i].toLatin1().toStdString());
        }
        rig.prefs.Open();
        QCOMPARE(rig.preferences(), shown);
        const QString program = shown.section('|', 4); // <NONE>: nothing
        QCOMPARE(rig.settings.ExitProgramPath.value_or("none"),
                 (program == "<NONE>" ? "none" : program).toStdString());
        clickOk(rig.prefs);
        QStringList expected;
        for (int i = 0; i < 5; ++i) {
            expected << QString("Preferences ") + keys[i] + "=" + values[i];
        }
        QCOMPARE(QString::fromLatin1(rig.file.written()), expected.join("; "));
        QVERIFY(!rig.prefs.isVisible() && rig.owner.isEnabled());
    }

    // The file dialog starts in ~/Palm once it exists, listing folders and programs.
    void fileChooser() {
        QCOMPARE(ProgramChooserStartFolder(), QDir::homePath());
        const QString palm = QDir::home().filePath("Palm");
        QVERIFY(QDir().mkpath(palm + "/folder"));
        QCOMPARE(ProgramChooserStartFolder(), palm);
        for (auto [name, executable] : {std::pair{"sync", true}, {"notes.txt", false}}) {
            QFile f(palm + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                             (executable ? QFile::ExeOwner : QFile::Permissions()));
            QCOMPARE(ListedInProgramChooser(QFileInfo(f)), executable);
        }
        QVERIFY(ListedInProgramChooser(QFileInfo(palm + "/folder")));
        FileProgramChooser chooser;
        QWidget parent;
        QString filter;
        QTimer::singleShot(0, [&] {
            auto* dialog = parent.findChild<QFileDialog*>();
            filter = dialog->findChild<QComboBox*>("fileTypeCombo")->currentText();
            dialog->selectFile(palm + "/sync");
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto chosen = chooser.Choose(&parent, "t", palm);
        QCOMPARE(filter, QString("Executable")); // the filter's name without its pattern
        QVERIFY(chosen.outcome == ProgramChooser::Outcome::Chosen && chosen.path == palm + "/sync");
    }
};

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settingsdialogs.moc"
