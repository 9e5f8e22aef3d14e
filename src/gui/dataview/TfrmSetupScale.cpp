#include "gui/common/DialogParts.h"
#include "gui/dataview/TfrmSetupScale.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace {

QGroupBox *axisBox(const QString &title, QLineEdit *&min, const char *minName, QLineEdit *&max,
                   const char *maxName, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    auto *grid = new QGridLayout(box);
    min = new QLineEdit(box);
    min->setObjectName(QString::fromLatin1(minName));
    max = new QLineEdit(box);
    max->setObjectName(QString::fromLatin1(maxName));
    grid->addWidget(new QLabel(QStringLiteral("MIN"), box), 0, 0);
    grid->addWidget(min, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("MAX"), box), 1, 0);
    grid->addWidget(max, 1, 1);
    return box;
}

std::optional<int> parseWhole(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

TfrmSetupScale::TfrmSetupScale(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSetupScale"));
    setWindowTitle(QStringLiteral("Y Axis Maximum And Minimum Scale Setup"));
    setFixedSize(309, 215);
    auto *layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Y Axis Maximum And Minimum Scale Setup"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *axes = new QHBoxLayout(GroupBox1);
    GroupBox2 = axisBox(QStringLiteral("Humidity"), edtT1Min, "edtT1Min", edtT1Max, "edtT1Max", GroupBox1);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox3 = axisBox(QStringLiteral("Temperature"), edtT2Min, "edtT2Min", edtT2Max, "edtT2Max", GroupBox1);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    axes->addWidget(GroupBox2);
    axes->addWidget(GroupBox3);
    layout->addWidget(GroupBox1);
    chkSave = new QCheckBox(QStringLiteral("Save this setting "), this);
    chkSave->setObjectName(QStringLiteral("chkSave"));
    chkSave->setChecked(true);
    layout->addWidget(chkSave);
    DialogParts::addOkCancel(this, layout, &BitBtn1, &BitBtn2);
}

int TfrmSetupScale::wholeNumber(double value)
{
    if (std::isnan(value))
        return 0;
    const double cut = std::trunc(value);
    if (cut <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (cut >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(cut);
}

void TfrmSetupScale::setLimits(double t1Min, double t1Max, double t2Min, double t2Max)
{
    edtT1Min->setText(QString::number(wholeNumber(t1Min)));
    edtT1Max->setText(QString::number(wholeNumber(t1Max)));
    edtT2Min->setText(QString::number(wholeNumber(t2Min)));
    edtT2Max->setText(QString::number(wholeNumber(t2Max)));
}

Result<TfrmSetupScale::Limits> TfrmSetupScale::limits() const
{
    Limits l;
    // The last box that fails is the one named, as the boxes are read bottom up.
    QString invalid;
    bool valid = true;
    const auto read = [&](QLineEdit *box, int &out) {
        if (const std::optional<int> v = parseWhole(box->text())) {
            out = *v;
        } else {
            valid = false;
            invalid = box->text();
        }
    };
    read(edtT2Max, l.t2Max);
    read(edtT2Min, l.t2Min);
    read(edtT1Max, l.t1Max);
    read(edtT1Min, l.t1Min);
    if (!valid)
        return fail(ErrorCode::Usage, invalid + QStringLiteral(" is invalid."));
    return l;
}

bool TfrmSetupScale::saveSetting() const
{
    return chkSave->isChecked();
}
