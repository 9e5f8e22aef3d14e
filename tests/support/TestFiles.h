#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes for tests: empty / false when the file fails.
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);
