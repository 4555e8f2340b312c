// The startup preferences dialog over values written in an 8-bit code page:
// shown as their characters, written back byte for byte when left alone.

#include "config/dialogs/lw_prefs.h"
#include "tests/config/dialogs/dialogtestsupport.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>

using namespace loomway;
using namespace loomway::test;

namespace {

class NoChooser : public ProgramChooser {
public:
    Result Choose(QWidget*, const QString&, const QString&) override {
        return {Outcome::Cancelled, {}};
    }
};

} // namespace

class TestPrefsCharset : public QObject {
    Q_OBJECT
private slots:
    void eightBitValuesSurviveOk() {
        const std::string title = "Caf\xe9 \x93Sync\x94";   // Windows-1252
        const std::string program = "/opt/M\xfcller/start"; // Windows-1252
        MemoryProfileFile file;
        file.set("Preferences", "CloseApp", title);
        file.set("Preferences", "StartApp", program);
        Settings settings;
        NoChooser chooser;
        QWidget owner;
        owner.show();
        LW_PREFS dialog(file, settings, chooser, &owner);
        dialog.Open();
        QCOMPARE(child<QComboBox>(dialog, "comCloseApp")->currentText(),
                 QString::fromUtf8("Caf\u00e9 \u201cSync\u201d"));
        QCOMPARE(child<QLabel>(dialog, "lblStart")->text(),
                 QString::fromUtf8("/opt/M\u00fcller/start"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        std::map<std::string, std::string> written;
        for (const auto& w : file.writes) {
            written[w.key] = w.value;
        }
        QCOMPARE(written["CloseApp"], title);
        QCOMPARE(written["StartApp"], program);

        // Changed, the value is written as UTF-8.
        dialog.Open();
        child<QComboBox>(dialog, "comCloseApp")->setEditText(QString::fromUtf8("Caf\u00e9"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
        QCOMPARE(file.writes[8].key, std::string("CloseApp"));
        QCOMPARE(file.writes[8].value, std::string("Caf\xc3\xa9"));
    }
};

QTEST_MAIN(TestPrefsCharset)
#include "tst_prefscharset.moc"
