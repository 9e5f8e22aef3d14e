#include "gui/shell/TfrmOpenSave.h"

#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmOpenSave::TfrmOpenSave(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmOpenSave"));
    setWindowTitle(QStringLiteral("Save File"));
    setFixedSize(398, 207);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(14);
    const auto button = [this, layout](const char *name, const QString &caption, int result) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(36);
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        layout->addWidget(b);
        return b;
    };
    btnOpenSets = button("btnOpenSets", QStringLiteral("Save all data sets to a data set collection file(*.518)"), OK);
    btnOpenSingleSet = button("btnOpenSingleSet", QStringLiteral("Save single selected  data set to a  file"), No);
    Button1 = button("Button1", QStringLiteral("Cancel"), Cancel);
}

void TfrmOpenSave::setOpenCaptions(bool decimalComma)
{
    setWindowTitle(QStringLiteral("Open File"));
    btnOpenSets->setText(QStringLiteral("Open a data set collection file(*.518)"));
    btnOpenSingleSet->setText(decimalComma ? QStringLiteral("Open single data flle(*.TXT,*.GHF)")
                                           : QStringLiteral("Open single data file(*.TXT,*.CSV,*.GHF)"));
}

void TfrmOpenSave::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}
