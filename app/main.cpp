// Composition root: builds the objects and connects them.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Palm Loomway by QUILLON"));
    window.show();
    return app.exec();
}
