#pragma once

#include <QPixmap>
#include <QWidget>

namespace loomway {

// The main window's client area: its background picture drawn from the top
// left corner, the surface every panel lies on.
class BackgroundArea : public QWidget {
    Q_OBJECT
public:
    explicit BackgroundArea(QWidget* parent = nullptr);

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
};

} // namespace loomway
