#pragma once

#include "cli/CliContext.h"

#include <QList>
#include <QStringList>

// kv518-cli: picks the command named by the first argument and runs it.
class CliApp
{
public:
    CliApp();
    int run(const QStringList &arguments);

private:
    void printOverview();
    int dispatch(const QStringList &arguments);
    int runCommand(const QStringList &arguments);
    // --trace FILE: the transfer log of the command's ports, written however
    // the command ended; returns the exit code to give.
    int writeTrace(const QString &path, int code);

    CliContext m_context;
    QList<CliCommand> m_commands;
};
