// The floor for start-up figures: a bare Qt window of the same size that grabs
// itself once shown, as `korvo --screenshot` does.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(240, 320);
    window.show();
    QTimer::singleShot(0, &window, [&] {
        window.grab().save(QString::fromLocal8Bit(argv[argc - 1]), "PNG");
        app.quit();
    });
    return app.exec();
}
