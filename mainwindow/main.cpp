#include "tessary_interface.h"

#include <QApplication>
#include <QPixmap>
#include <QSplashScreen>
#include <QTimer>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);

    QPixmap picture(":/Image/images/222.png");
    QPixmap scaled = picture.scaled(1228, 714, Qt::KeepAspectRatio, Qt::FastTransformation);
    QSplashScreen splash(scaled);
    splash.show();

    QTimer timer;
    timer.setInterval(1000);
    timer.setSingleShot(true);
    timer.start();

    TessaryWidget window(nullptr);
    window.setFixedSize(1228, 664);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        splash.close();
        window.show();
    });
    return app.exec();
}
