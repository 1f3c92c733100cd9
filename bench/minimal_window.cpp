#include <QApplication>
#include <QWidget>

// The smallest Qt Widgets program that maps a window: start-up figures of the pop-up are read against it.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("minimal"));
    window.resize(459, 147);
    window.show();
    return app.exec();
}
