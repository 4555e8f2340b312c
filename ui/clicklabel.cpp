#include "ui/clicklabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace loomway {

namespace {

// A keyboard button reads as a button to a screen reader, with the press
// action that works it.
class KeyboardButtonAccessible : public QAccessibleWidget {
public:
    explicit KeyboardButtonAccessible(ClickLabel* label)
        : QAccessibleWidget(label, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<ClickLabel*>(widget())->Press();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }
};

QAccessibleInterface* keyboardButtonFactory(const QString&, QObject* object) {
    auto* label = qobject_cast<ClickLabel*>(object);
    if (label != nullptr && label->focusPolicy() != Qt::NoFocus) {
        return new KeyboardButtonAccessible(label);
    }
    return nullptr;
}

} // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::MakeKeyboardButton() {
    static const bool installed = [] {
        QAccessible::installFactory(keyboardButtonFactory);
        return true;
    }();
    (void)installed;
    setFocusPolicy(Qt::TabFocus);
    // An interface made before (setting the accessible name makes one) is
    // dropped, so the next one is made as a button.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(this);
        made != nullptr && made->role() != QAccessible::Button) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

void ClickLabel::Press() {
    emit released();
    emit clicked();
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
    const bool press = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                       event->key() == Qt::Key_Enter;
    if (focusPolicy() == Qt::NoFocus || !press ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QLabel::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat()) {
        Press();
    }
}

void ClickLabel::paintEvent(QPaintEvent* event) {
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    const QRect at = QStyle::alignedRect(layoutDirection(), alignment(),
                                         picture.deviceIndependentSize().toSize(), area);
    painter.drawPixmap(at, picture);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = area;
        focus.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    m_clickPending = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool over = rect().contains(event->position().toPoint());
    const bool click = m_clickPending && over && event->button() == Qt::LeftButton;
    m_clickPending = false;
    if (over) {
        emit released();
    }
    if (click) {
        emit clicked();
    }
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    m_clickPending = false;
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
}

} // namespace loomway
