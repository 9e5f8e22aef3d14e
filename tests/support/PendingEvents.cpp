#include "PendingEvents.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void processPendingEvents()
{
    // A handler may queue one more step; a few rounds let such chains finish.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // A zero timer fires only after the events queued before it.
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
