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

    CliContext m_context;
    QList<CliCommand> m_commands;
};
