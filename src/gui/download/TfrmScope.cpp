#include "gui/download/TfrmScope.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace {
constexpr int FormWidth = 313;
constexpr int FormHeight = 161;
constexpr int Margin = 12;
} // namespace

TfrmScope::TfrmScope(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmScope"));
    setFixedSize(FormWidth, FormHeight);

    const auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QString::fromLatin1(name));
        w->hide();
    };

    GroupBox1 = new QGroupBox(this);
    named(GroupBox1, "GroupBox1");
    GroupBox1->setGeometry(Margin, 6, FormWidth - 2 * Margin, 76);
    radAll = new QRadioButton(QStringLiteral("&All"), GroupBox1);
    radAll->setObjectName(QStringLiteral("radAll"));
    radAll->setGeometry(12, 14, 80, 22);
    radAll->setChecked(true);
    radNo = new QRadioButton(QStringLiteral("&Select"), GroupBox1);
    radNo->setObjectName(QStringLiteral("radNo"));
    radNo->setGeometry(12, 44, 80, 22);
    Label1 = new QLabel(QStringLiteral("&from"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(96, 46, 34, 18);
    edtSelFrom = new QLineEdit(GroupBox1);
    edtSelFrom->setObjectName(QStringLiteral("edtSelFrom"));
    edtSelFrom->setGeometry(130, 43, 62, 24);
    Label1->setBuddy(edtSelFrom);
    Label2 = new QLabel(QStringLiteral("&to"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(200, 46, 20, 18);
    edtSelTo = new QLineEdit(GroupBox1);
    edtSelTo->setObjectName(QStringLiteral("edtSelTo"));
    edtSelTo->setGeometry(220, 43, 62, 24);
    Label2->setBuddy(edtSelTo);

    // The progress texts share the space of the range box: no use shows both.
    SText1 = new QLabel(QStringLiteral("bytes received"), this);
    named(SText1, "SText1");
    SText1->setGeometry(Margin + 4, 14, 120, 20);
    lblBytesReceived = new QLabel(QStringLiteral("0"), this);
    named(lblBytesReceived, "lblBytesReceived");
    lblBytesReceived->setGeometry(140, 14, FormWidth - 140 - Margin - 4, 20);
    lblBytesReceived->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SText2 = new QLabel(QStringLiteral("total bytes"), this);
    named(SText2, "SText2");
    SText2->setGeometry(Margin + 4, 40, 120, 20);
    lblTotalBytes = new QLabel(QStringLiteral("0"), this);
    named(lblTotalBytes, "lblTotalBytes");
    lblTotalBytes->setGeometry(140, 40, FormWidth - 140 - Margin - 4, 20);
    lblTotalBytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Progress1 = new QProgressBar(this);
    named(Progress1, "Progress1");
    Progress1->setGeometry(Margin, 90, FormWidth - 2 * Margin, 20);
    // A range of (0, 0) would turn the bar into a busy animation.
    Progress1->setRange(0, 1);
    Progress1->setValue(0);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    named(BitBtn1, "BitBtn1");
    BitBtn1->setGeometry(FormWidth - Margin - 2 * 80 - 8, 124, 80, 26);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    named(BitBtn2, "BitBtn2");
    BitBtn2->setGeometry(FormWidth - Margin - 80, 124, 80, 26);
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        m_cancelled = true;
        reject();
    });
}

void TfrmScope::stayOnTop()
{
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);
}

void TfrmScope::fitToControls()
{
    int bottom = 0;
    for (QWidget *w : {static_cast<QWidget *>(GroupBox1), static_cast<QWidget *>(SText1),
                       static_cast<QWidget *>(lblBytesReceived), static_cast<QWidget *>(SText2),
                       static_cast<QWidget *>(lblTotalBytes), static_cast<QWidget *>(Progress1),
                       static_cast<QWidget *>(BitBtn1), static_cast<QWidget *>(BitBtn2)}) {
        if (!w->isHidden())
            bottom = qMax(bottom, w->geometry().bottom() + 1);
    }
    setFixedSize(FormWidth, bottom > 0 ? bottom + Margin : FormHeight);
}
