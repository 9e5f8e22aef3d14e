#pragma once

#include <QString>

class AppContext;
class QFileDialog;
class QWidget;

// File > Import into Archive...: the user picks collection files, each is
// archived as an import record. Returns the status bar's summary of what
// went in ("Archived: 3 data sets (1 new, 1 grown, 1 already archived)"),
// empty when nothing did; each file that failed is named in one message.
QString importIntoArchive(AppContext &ctx, QWidget *window, QFileDialog &dialog, const QString &archivePath);
