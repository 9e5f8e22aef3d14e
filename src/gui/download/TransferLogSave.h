#pragma once

class AppContext;
class QWidget;

// "Save Transfer Log...": asks for a file through the prompter's save dialog
// and writes the transfer log of the run's ports there as JSON lines, whole
// or not at all. Cancel writes nothing; a file that cannot be written is
// said, with its reason.
void saveTransferLog(AppContext &ctx, QWidget *parent);
