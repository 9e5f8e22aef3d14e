#include "ScriptedPrompter.h"

#include <QTest>

QMessageBox::StandardButton ScriptedPrompter::message(QWidget *, QMessageBox::Icon,
                                                      const QString &text,
                                                      QMessageBox::StandardButtons buttons)
{
    messages << text;
    messageButtons << buttons;
    if (m_messages.empty()) {
        unanswered << text;
        qWarning("ScriptedPrompter: unanswered message box: %s", qPrintable(text));
        return QMessageBox::Cancel;
    }
    const auto b = m_messages.front();
    m_messages.pop_front();
    return b;
}

int ScriptedPrompter::exec(QDialog &dialog)
{
    const QString name = dialog.windowTitle().isEmpty()
        ? QString::fromLatin1(dialog.metaObject()->className())
        : dialog.windowTitle();
    dialogs << name;
    if (m_dialogs.empty()) {
        unanswered << name;
        qWarning("ScriptedPrompter: unanswered dialog: %s", qPrintable(name));
        return QDialog::Rejected;
    }
    auto f = std::move(m_dialogs.front());
    m_dialogs.pop_front();
    return f(dialog);
}

QString ScriptedPrompter::chooseFile(QFileDialog &dialog)
{
    fileDialogs << dialog.nameFilters().join(QStringLiteral(";;"));
    if (m_files.empty()) {
        unanswered << QStringLiteral("file dialog");
        qWarning("ScriptedPrompter: unanswered file dialog");
        return QString();
    }
    const FileAnswer answer = m_files.front();
    m_files.pop_front();
    if (answer.filter >= 0 && answer.filter < dialog.nameFilters().size()) {
        dialog.selectNameFilter(dialog.nameFilters().at(answer.filter));
        Q_EMIT dialog.filterSelected(dialog.nameFilters().at(answer.filter));
    }
    return answer.path;
}
