#include "gui/dataview/TfrmLimits.h"

#include "core/data/DateTimeText.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Prompter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

QLineEdit *numberBox(const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFixedWidth(80);
    return box;
}

} // namespace

TfrmLimits::TfrmLimits(Prompter &prompter, const DateTimeText &texts, bool fileView, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_prompter(prompter)
    , m_texts(texts)
{
    setObjectName(QStringLiteral("frmLimits"));
    setWindowTitle(QStringLiteral("Limits"));
    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);

    grid->addWidget(new QLabel(QStringLiteral("Low"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("High"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Humidity"), this), 1, 0);
    edtHumidityLow = numberBox("edtHumidityLow", this);
    edtHumidityHigh = numberBox("edtHumidityHigh", this);
    grid->addWidget(edtHumidityLow, 1, 1);
    grid->addWidget(edtHumidityHigh, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("%RH"), this), 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Temperature"), this), 2, 0);
    edtTemperatureLow = numberBox("edtTemperatureLow", this);
    edtTemperatureHigh = numberBox("edtTemperatureHigh", this);
    grid->addWidget(edtTemperatureLow, 2, 1);
    grid->addWidget(edtTemperatureHigh, 2, 2);
    lblTemperatureUnit = new QLabel(unitText(TemperatureUnit::Celsius), this);
    lblTemperatureUnit->setObjectName(QStringLiteral("lblTemperatureUnit"));
    grid->addWidget(lblTemperatureUnit, 2, 3);
    auto *hint = new QLabel(QStringLiteral("An empty box sets no limit."), this);
    grid->addWidget(hint, 3, 0, 1, 4);

    grid->addWidget(new QLabel(QStringLiteral("Activation energy of the MKT"), this), 4, 0);
    edtActivationEnergy = numberBox("edtActivationEnergy", this);
    grid->addWidget(edtActivationEnergy, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("kJ/mol"), this), 4, 2);

    lblFileUnit = new QLabel(QStringLiteral("Readings of this file in"), this);
    lblFileUnit->setObjectName(QStringLiteral("lblFileUnit"));
    cmbFileUnit = new QComboBox(this);
    cmbFileUnit->setObjectName(QStringLiteral("cmbFileUnit"));
    cmbFileUnit->addItems({unitText(TemperatureUnit::Celsius), unitText(TemperatureUnit::Fahrenheit)});
    grid->addWidget(lblFileUnit, 5, 0);
    grid->addWidget(cmbFileUnit, 5, 1);
    lblFileUnit->setVisible(fileView);
    cmbFileUnit->setVisible(fileView);
    grid->setColumnStretch(4, 1);

    DialogParts::addOkCancel(this, layout, &BitBtn1, &BitBtn2);
}

QString TfrmLimits::unitText(TemperatureUnit unit)
{
    return unit == TemperatureUnit::Fahrenheit ? QStringLiteral("°F") : QStringLiteral("°C");
}

QString TfrmLimits::numberText(std::optional<double> value) const
{
    if (!value)
        return QString();
    // Shortest exact digits, without group separators, which the reading refuses.
    QLocale locale = m_texts.locale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(*value, 'f', QLocale::FloatingPointShortest);
}

void TfrmLimits::setValues(const Values &values, TemperatureUnit limitsUnit)
{
    m_values = values;
    edtHumidityLow->setText(numberText(values.humidity.low));
    edtHumidityHigh->setText(numberText(values.humidity.high));
    edtTemperatureLow->setText(numberText(values.temperature.low));
    edtTemperatureHigh->setText(numberText(values.temperature.high));
    lblTemperatureUnit->setText(unitText(limitsUnit));
    edtActivationEnergy->setText(numberText(values.activationEnergy));
    cmbFileUnit->setCurrentIndex(values.fileUnit == TemperatureUnit::Fahrenheit ? 1 : 0);
}

Result<TfrmLimits::Values> TfrmLimits::read() const
{
    const auto refuse = [](const QString &text) { return fail(ErrorCode::Usage, text); };
    const auto number = [this](const QLineEdit *box, std::optional<double> &out) {
        if (box->text().trimmed().isEmpty()) {
            out.reset();
            return true;
        }
        // The locale's own reading takes "inf" and "nan" too: no limit can be either.
        out = m_texts.parseNumber(box->text());
        if (out && !std::isfinite(*out))
            out.reset();
        return out.has_value();
    };
    const auto notANumber = [](const QString &what, const QLineEdit *box) {
        return QStringLiteral("The %1 \"%2\" is not a number.").arg(what, box->text().trimmed());
    };
    Values v;
    const struct
    {
        ChannelLimits &limits;
        const char *name;
        QLineEdit *low;
        QLineEdit *high;
    } channels[] = {{v.humidity, "humidity", edtHumidityLow, edtHumidityHigh},
                    {v.temperature, "temperature", edtTemperatureLow, edtTemperatureHigh}};
    for (const auto &c : channels) {
        const QString low = QLatin1String(c.name) + QStringLiteral(" low limit");
        const QString high = QLatin1String(c.name) + QStringLiteral(" high limit");
        if (!number(c.low, c.limits.low))
            return refuse(notANumber(low, c.low));
        if (!number(c.high, c.limits.high))
            return refuse(notANumber(high, c.high));
        if (c.limits.low && c.limits.high && *c.limits.low > *c.limits.high)
            return refuse(QStringLiteral("The %1 low limit is above its high limit.").arg(QLatin1String(c.name)));
    }
    const std::optional<double> energy = m_texts.parseNumber(edtActivationEnergy->text());
    if (!energy || std::isnan(*energy))
        return refuse(notANumber(QStringLiteral("activation energy"), edtActivationEnergy));
    if (!KineticTemperature::isValidActivationEnergy(*energy))
        return refuse(QStringLiteral("The activation energy must be above 0 and at most 10000 kJ/mol."));
    v.activationEnergy = *energy;
    v.fileUnit = cmbFileUnit->currentIndex() == 1 ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
    return v;
}

void TfrmLimits::accept()
{
    const Result<Values> v = read();
    if (!v) {
        m_prompter.notice(this, v.message());
        return;
    }
    m_values = *v;
    QDialog::accept();
}
