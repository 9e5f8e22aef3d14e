#include "gui/shell/TfrmAbout.h"

#include "gui/shell/ToolIcons.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TfrmAbout::TfrmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Orvane for Temperature DataLogger"));
    setFixedSize(351, 117);

    auto *logo = new QLabel(this);
    logo->setPixmap(ToolIcons::program().pixmap(48, 48));
    logo->setGeometry(16, 14, 48, 48);

    Label3 = new QLabel(QStringLiteral("Orvane KV518"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont titleFont(QStringLiteral("Arial"), 16, QFont::Bold, true);
    titleFont.setStyleHint(QFont::SansSerif);
    Label3->setFont(titleFont);
    Label3->setStyleSheet(QStringLiteral("color: blue"));
    Label3->setGeometry(84, 10, 250, 32);

    Label1 = new QLabel(QStringLiteral("Version:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(86, 48, 60, 18);

    Label2 = new QLabel(QCoreApplication::applicationVersion(), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(150, 48, 180, 18);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(12, 84, 200, 18);
    Label4->hide();

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(262, 80, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmAbout *TfrmAbout::createSplash()
{
    auto *splash = new TfrmAbout;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->BitBtn1->hide();
    return splash;
}

void TfrmAbout::setStatusLine(const QString &text)
{
    Label4->setText(text);
    Label4->setVisible(!text.isEmpty());
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
