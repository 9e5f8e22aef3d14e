#include "ShotSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {
QString g_out;
}

namespace Shots {

void setOutputFolder(const QString &folder)
{
    g_out = folder;
}

bool takeOutputFolder(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argc > 0 ? argv[0] : "shot");
        return false;
    }
    setOutputFolder(QString::fromLocal8Bit(argv[1]));
    return true;
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(const QPixmap &pixmap, const QString &name)
{
    const QString path = QDir(g_out).filePath(name);
    if (!pixmap.save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

} // namespace Shots
