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
    // Warning levels and the delay, in columns after the unit.
    grid->addWidget(new QLabel(QStringLiteral("Warning low"), this), 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("Warning high"), this), 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Delay (min)"), this), 0, 6);
    const auto delayKind = [this](const char *name) {
        auto *box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->addItems({QStringLiteral("consecutive"), QStringLiteral("in total")});
        box->setToolTip(QStringLiteral("A limit counts as breached after the delay outside in one stretch, or in all"));
        return box;
    };
    edtHumidityWarningLow = numberBox("edtHumidityWarningLow", this);
    edtHumidityWarningHigh = numberBox("edtHumidityWarningHigh", this);
    edtHumidityDelay = numberBox("edtHumidityDelay", this);
    cmbHumidityDelay = delayKind("cmbHumidityDelay");
    edtTemperatureWarningLow = numberBox("edtTemperatureWarningLow", this);
    edtTemperatureWarningHigh = numberBox("edtTemperatureWarningHigh", this);
    edtTemperatureDelay = numberBox("edtTemperatureDelay", this);
    cmbTemperatureDelay = delayKind("cmbTemperatureDelay");
    const QList<QWidget *> rules[2] = {
        {edtHumidityWarningLow, edtHumidityWarningHigh, edtHumidityDelay, cmbHumidityDelay},
        {edtTemperatureWarningLow, edtTemperatureWarningHigh, edtTemperatureDelay, cmbTemperatureDelay}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 4; ++c)
            grid->addWidget(rules[r][c], r + 1, c + 4);
    }
    auto *hint = new QLabel(QStringLiteral("An empty box sets no limit; an empty delay breaches at once."), this);
    grid->addWidget(hint, 3, 0, 1, 8);

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

    // Offsets apply to data sets read from the logger; a saved file holds
    // readings already corrected, so a file view shows them as they are.
    grid->addWidget(new QLabel(QStringLiteral("Correction added"), this), 6, 0);
    edtHumidityOffset = numberBox("edtHumidityOffset", this);
    edtHumidityOffset->setToolTip(QStringLiteral("Added to every humidity reading of a data set"));
    grid->addWidget(edtHumidityOffset, 6, 1);
    grid->addWidget(new QLabel(QStringLiteral("%RH"), this), 6, 2);
    edtTemperatureOffset = numberBox("edtTemperatureOffset", this);
    edtTemperatureOffset->setToolTip(QStringLiteral("Added to every temperature reading of a data set"));
    grid->addWidget(edtTemperatureOffset, 6, 4);
    lblOffsetUnit = new QLabel(unitText(TemperatureUnit::Celsius), this);
    grid->addWidget(lblOffsetUnit, 6, 5);
    grid->setColumnStretch(8, 1);

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
    lblOffsetUnit->setText(unitText(limitsUnit));
    const auto delayText = [](qint64 minutes) { return minutes > 0 ? QString::number(minutes) : QString(); };
    edtHumidityWarningLow->setText(numberText(values.humidity.warningLow));
    edtHumidityWarningHigh->setText(numberText(values.humidity.warningHigh));
    edtHumidityDelay->setText(delayText(values.humidity.delayMinutes));
    cmbHumidityDelay->setCurrentIndex(values.humidity.delay == AlarmDelay::Total ? 1 : 0);
    edtTemperatureWarningLow->setText(numberText(values.temperature.warningLow));
    edtTemperatureWarningHigh->setText(numberText(values.temperature.warningHigh));
    edtTemperatureDelay->setText(delayText(values.temperature.delayMinutes));
    cmbTemperatureDelay->setCurrentIndex(values.temperature.delay == AlarmDelay::Total ? 1 : 0);
    const auto offsetText = [this](double v) { return v != 0.0 ? numberText(v) : QString(); };
    edtHumidityOffset->setText(offsetText(values.offsets.humidity));
    edtTemperatureOffset->setText(offsetText(values.offsets.temperature));
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
        QLineEdit *warningLow;
        QLineEdit *warningHigh;
        QLineEdit *delay;
        QComboBox *delayKind;
        QLineEdit *offset;
        double &offsetValue;
    } channels[] = {{v.humidity, "humidity", edtHumidityLow, edtHumidityHigh, edtHumidityWarningLow,
                     edtHumidityWarningHigh, edtHumidityDelay, cmbHumidityDelay, edtHumidityOffset, v.offsets.humidity},
                    {v.temperature, "temperature", edtTemperatureLow, edtTemperatureHigh, edtTemperatureWarningLow,
                     edtTemperatureWarningHigh, edtTemperatureDelay, cmbTemperatureDelay, edtTemperatureOffset,
                     v.offsets.temperature}};
    for (const auto &c : channels) {
        const QString low = QLatin1String(c.name) + QStringLiteral(" low limit");
        const QString high = QLatin1String(c.name) + QStringLiteral(" high limit");
        if (!number(c.low, c.limits.low))
            return refuse(notANumber(low, c.low));
        if (!number(c.high, c.limits.high))
            return refuse(notANumber(high, c.high));
        if (c.limits.low && c.limits.high && *c.limits.low > *c.limits.high)
            return refuse(QStringLiteral("The %1 low limit is above its high limit.").arg(QLatin1String(c.name)));
        const QString name = QLatin1String(c.name);
        if (!number(c.warningLow, c.limits.warningLow))
            return refuse(notANumber(name + QStringLiteral(" low warning level"), c.warningLow));
        if (!number(c.warningHigh, c.limits.warningHigh))
            return refuse(notANumber(name + QStringLiteral(" high warning level"), c.warningHigh));
        if (c.limits.warningLow && c.limits.warningHigh && *c.limits.warningLow > *c.limits.warningHigh)
            return refuse(QStringLiteral("The %1 low warning level is above its high one.").arg(name));
        std::optional<double> delay;
        if (!number(c.delay, delay) || (delay && (*delay < 0.0 || *delay > 1e6 || *delay != std::floor(*delay))))
            return refuse(QStringLiteral("The %1 delay \"%2\" is no whole number of minutes from 0 to 1000000.")
                              .arg(name, c.delay->text().trimmed()));
        c.limits.delayMinutes = delay ? qint64(*delay) : 0;
        c.limits.delay = c.delayKind->currentIndex() == 1 ? AlarmDelay::Total : AlarmDelay::Consecutive;
        std::optional<double> offset;
        if (!number(c.offset, offset) || (offset && !Calibration::isValidOffset(*offset)))
            return refuse(QStringLiteral("The %1 correction \"%2\" is no number from -100 to 100.")
                              .arg(name, c.offset->text().trimmed()));
        c.offsetValue = offset.value_or(0.0);
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
