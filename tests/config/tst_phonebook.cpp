#include "config/phonebook.h"
#include "tests/support/fakes.h"
#include "tests/support/testsupport.h"

#include <QTest>

using namespace loomway;
using namespace loomway::test;

class TestPhonebook : public QObject {
    Q_OBJECT
private slots:
    // The entry under the dial string as typed, else under its digits.
    void entry_data() {
        addRows({"dialled", "entry"}, {{"as typed", "555-1234", "typed"},
                                       {"by its digits", "555 12-34", "digits"},
                                       {"star and hash kept", "*7#-1", "star"},
                                       {"a host is not cut to digits", "h:1234", ""},
                                       {"not found", "999", ""}});
    }
    void entry() {
        MemoryProfileFile file;
        file.set("Phonebook", "555-1234", "typed");
        file.set("Phonebook", "5551234", "digits");
        file.set("Phonebook", "*7#1", "star");
        file.set("Phonebook", "1234", "host");
        QCOMPARE(QString::fromStdString(ReadPhonebookEntry(file, cell("dialled").toStdString())),
                 cell("entry"));
    }
};

QTEST_APPLESS_MAIN(TestPhonebook)
#include "tst_phonebook.moc"
