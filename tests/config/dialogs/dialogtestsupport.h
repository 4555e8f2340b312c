#pragma once

// Helpers shared by the settings dialog tests.

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace loomway::test {

template <typename T> T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qWarning("no child %s", name);
    }
    return found;
}

inline QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) {
        list << box->itemText(i);
    }
    return list;
}

// The names among `names` in the order Tab visits them, starting at the first.
inline QStringList tabOrder(QWidget& dialog, const QStringList& names) {
    QStringList order;
    QWidget* first = dialog.findChild<QWidget*>(names.first());
    QWidget* w = first;
    do {
        if (names.contains(w->objectName()) && !order.contains(w->objectName())) {
            order << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != first && w != nullptr);
    return order;
}

// The three ways out of a dialog other than OK, as data rows of a column "way".
inline void addWaysOut() {
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("close box") << 1;
    QTest::newRow("Escape") << 2;
}

// Leaves the dialog the way a row of addWaysOut names; false if it refused to close.
inline bool leaveWithoutOk(QWidget& dialog, int way) {
    if (way == 0) {
        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    } else if (way == 1) {
        return dialog.close();
    } else {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    }
    return true;
}

// Types text into an editable list the way a user does, replacing what it shows.
inline void typeInto(QComboBox* box, const QString& text) {
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(box->lineEdit(), text);
}

// Cancel stands at the bottom left, OK at the bottom right, below everything else.
inline bool buttonsAtTheBottom(QWidget& dialog) {
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    auto* cancel = dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    if (ok == nullptr || cancel == nullptr || ok->text() != QStringLiteral("&OK") ||
        cancel->text() != QStringLiteral("&Cancel")) {
        return false;
    }
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (w != ok && w != cancel && w->isVisible() && qobject_cast<QPushButton*>(w) == nullptr &&
            w->parentWidget() == &dialog && w->geometry().bottom() > ok->geometry().top()) {
            return false;
        }
    }
    return cancel->geometry().right() < ok->geometry().left() &&
           ok->geometry().right() > dialog.width() / 2 &&
           cancel->geometry().left() < dialog.width() / 2;
}

} // namespace loomway::test
