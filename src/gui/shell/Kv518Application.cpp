#include "gui/shell/Kv518Application.h"

#include <QFont>

#include <exception>

Kv518Application::Kv518Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    applyIdentity();
}

void Kv518Application::applyIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("KV518"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV518_VERSION));
    // The windows were laid out for MS Sans Serif 8 pt; fontconfig picks the
    // closest sans font the system has.
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

bool Kv518Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        m_prompter->message(nullptr, QMessageBox::Critical, QString::fromLocal8Bit(e.what()), QMessageBox::Ok);
    } catch (...) {
        m_prompter->message(nullptr, QMessageBox::Critical, QStringLiteral("Unknown error."), QMessageBox::Ok);
    }
    return false;
}
