#pragma once
// Helpers shared by the settings dialog tests.
#include "core/redirectionswitch.h"
#include "tests/support/fakes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace loomway::test {

template <typename T = QWidget> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

inline QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) {
        list << box->itemText(i);
    }
    return list;
}

// The names in the order Tab visits them, starting at the first.
inline QStringList tabOrder(QWidget& dialog, const QStringList& names) {
    QStringList order;
    QWidget* w = child(dialog, qPrintable(names.first()));
    for (int i = 0; i < 100 && order.size() < names.size(); ++i, w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && !order.contains(w->objectName())) {
            order << w->objectName();
        }
    }
    return order;
}

// What a user sees of the layout: each row's label left of its field, the
// rows in order from the top, Cancel at the bottom left and OK at the bottom
// right below everything else. Returns the first fault found, or nothing.
inline QString layoutFault(QWidget& dialog,
                           std::initializer_list<std::pair<const char*, const char*>> rows) {
    int lastTop = -1;
    auto* ok = child<QPushButton>(dialog, "cmdOK");
    auto* cancel = child<QPushButton>(dialog, "cmdCancel");
    for (auto [labelName, fieldName] : rows) {
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

// Leaves the dialog without OK: Cancel, the close box or Escape.
inline void leaveWithoutOk(QWidget& dialog, int way) {
    if (way == 0) {
        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    } else if (way == 1) {
        dialog.close();
    } else {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    }
}

inline void clickOk(QWidget& dialog) {
    QTest::mouseClick(child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
}

// Types into an editable list as a user does, replacing what it shows.
inline void typeInto(QComboBox* box, const QString& text) {
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(box->lineEdit(), text);
}

// A redirection switch over fake ports, settings with COM1, COM2 and 9600,
// and a shown owner window for the dialogs.
struct SwitchRig {
    MemoryProfileFile file;
    Settings settings;
    FakeSerialPort handheld, modem;
    RecordingLampPanel lamps;
    RecordingMessageBox messages;
    RecordingStatusPanel status;
    RedirectionSwitch redirection{file, settings, handheld, modem, lamps, messages, status};
    QWidget owner;
    SwitchRig() {
        file.set("Source", "Port", "1");
        file.set("Destination", "Port", "2");
        file.set("Common", "Speed", "9600");
        owner.show();
    }
};

} // namespace loomway::test
