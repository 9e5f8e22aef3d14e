#pragma once

#include "shell/MainOptions.h"
#include "shell/TfrmMain.h"

#include <QSize>
#include <QStringList>

#include <memory>

// Options for a main window under test: the system's serial ports are not
// probed; the given ports are listed first.
MainOptions testMainOptions(const QStringList &extraPorts = {});

// Creates and shows a main window (resized when size is valid) and waits until
// its start-up search has ended.
std::unique_ptr<TfrmMain> startMainWindow(const MainOptions &options = testMainOptions(),
                                          QSize size = QSize(1200, 800), int waitMs = 10000);
