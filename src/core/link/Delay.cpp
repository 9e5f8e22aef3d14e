#include "core/link/Delay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

qint64 Delay(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(qMax(0, ms) + 1));
        return elapsed.elapsed();
    }
    while (elapsed.elapsed() <= ms) {
        QEventLoop loop;
        bool fired = false;
        const int remaining = int(ms - elapsed.elapsed()) + 1;
        QTimer::singleShot(remaining, Qt::PreciseTimer, &loop, [&] {
            fired = true;
            loop.quit();
        });
        loop.exec();
        if (!fired)
            break; // the loop was ended from outside: the application is quitting
    }
    return elapsed.elapsed();
}
