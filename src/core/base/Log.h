#pragma once

#include <QLoggingCategory>

// One logging category per layer. Every port open, close and failure, every
// refused file (with the reason) and every settings or template failure
// leaves one info line; finer detail is debug. Both are off by default and
// come on with QT_LOGGING_RULES ("kv518.link.info=true") or a program's
// --verbose option (enableVerboseLogging()).
Q_DECLARE_LOGGING_CATEGORY(lcLink)   // kv518.link: ports and the meter link
Q_DECLARE_LOGGING_CATEGORY(lcData)   // kv518.data: images, collections, data sets
Q_DECLARE_LOGGING_CATEGORY(lcFiles)  // kv518.files: data files and every file write
Q_DECLARE_LOGGING_CATEGORY(lcChart)  // kv518.chart: chart state, template, graph files
Q_DECLARE_LOGGING_CATEGORY(lcSetup)  // kv518.setup: the logger setup exchanges
Q_DECLARE_LOGGING_CATEGORY(lcApp)    // kv518.app: folders, settings, options, programs

// Turns on every kv518 category at info and debug level, and puts the time
// and the category in front of each line.
void enableVerboseLogging();
