#include "gui/download/TfrmErr.h"

#include "gui/download/TransferLogSave.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

TfrmErr::TfrmErr(AppContext &ctx, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmErr"));
    setWindowTitle(QStringLiteral("Error Message"));
    setFixedSize(346, 152);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 0, 330, 49);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    lblCause = new QLabel(this);
    lblCause->setObjectName(QStringLiteral("lblCause"));
    lblCause->setGeometry(8, 49, 330, 22);
    lblCause->setWordWrap(true);
    lblCause->setAlignment(Qt::AlignCenter);

    const auto button = [this](const char *name, const QString &caption, int left, int result) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 80, 100, 27);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        return b;
    };
    Button2 = button("Button2", QStringLiteral("Try Again"), 12, Retry);
    Button1 = button("Button1", QStringLiteral("Fixed the error "), 123, OK);
    Button3 = button("Button3", QStringLiteral("Cancel"), 234, Cancel);
    Button2->setDefault(true);

    btnSaveTransferLog = new QPushButton(QStringLiteral("Save Transfer Log..."), this);
    btnSaveTransferLog->setObjectName(QStringLiteral("btnSaveTransferLog"));
    btnSaveTransferLog->setGeometry(12, 117, 150, 27);
    btnSaveTransferLog->setAutoDefault(false);
    connect(btnSaveTransferLog, &QPushButton::clicked, this, [this, &ctx] { saveTransferLog(ctx, this); });
}

void TfrmErr::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}
