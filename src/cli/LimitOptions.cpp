#include "cli/LimitOptions.h"

#include "core/watch/WatchRules.h"

#include <QLocale>

#include <cmath>

namespace {

const QString LimitsOption = QStringLiteral("limits");
const QString EnergyOption = QStringLiteral("activation-energy");
const QString UnitOption = QStringLiteral("unit");
const QString WarningsOption = QStringLiteral("warnings");
const QString DelayOption = QStringLiteral("delay");
const QString DelayTotalOption = QStringLiteral("delay-total");

bool parseNumber(QStringView text, std::optional<double> &value)
{
    text = text.trimmed();
    if (text.isEmpty()) {
        value.reset();
        return true;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

} // namespace

void LimitOptions::addTo(QCommandLineParser &parser)
{
    parser.addOption({LimitsOption,
                      QStringLiteral("Alarm limits: temp=LOW:HIGH,hum=LOW:HIGH (either side may be empty, as in "
                                     "temp=:8; the temperature in the data set's unit)."),
                      QStringLiteral("LIMITS")});
    parser.addOption({EnergyOption,
                      QStringLiteral("Activation energy of the mean kinetic temperature in kJ/mol (default 83.144)."),
                      QStringLiteral("E")});
    parser.addOption({UnitOption,
                      QStringLiteral("The temperature unit of a data file's readings, C or F (default C); a "
                                     "collection's data set carries its own."),
                      QStringLiteral("C|F")});
    parser.addOption({WarningsOption,
                      QStringLiteral("Warning levels, written as --limits: temp=LOW:HIGH,hum=LOW:HIGH."),
                      QStringLiteral("LEVELS")});
    parser.addOption({DelayOption,
                      QStringLiteral("A limit counts as breached after this many minutes outside in one stretch "
                                     "(default 0: at the first sample outside)."),
                      QStringLiteral("MINUTES")});
    parser.addOption({DelayTotalOption, QStringLiteral("Count the --delay over all the time outside, not one stretch.")});
}

Result<> LimitOptions::parseLimits(const QString &text, ChannelLimits (&limits)[2], const QString &option)
{
    const auto fail = [&option](const QString &why) {
        return ::fail(ErrorCode::Usage, QStringLiteral("--") + option + QStringLiteral(": ") + why);
    };
    bool seen[2] = {false, false};
    ChannelLimits parsed[2];
    for (const QStringView item : QStringView(text).split(u',')) {
        const qsizetype equals = item.indexOf(u'=');
        const qsizetype colon = item.indexOf(u':');
        if (equals < 0 || colon < equals)
            return fail(QStringLiteral("\"%1\" is not CHANNEL=LOW:HIGH (for example temp=2:8,hum=:60).")
                            .arg(item.toString()));
        const QStringView name = item.left(equals).trimmed();
        int channel = -1;
        if (name == u"temp" || name == u"temperature")
            channel = 1;
        else if (name == u"hum" || name == u"humidity")
            channel = 0;
        if (channel < 0)
            return fail(QStringLiteral("\"%1\" is no channel; use temp or hum.").arg(name.toString()));
        if (seen[channel])
            return fail(QStringLiteral("%1 is given twice.").arg(name.toString()));
        seen[channel] = true;
        ChannelLimits &l = parsed[channel];
        const QStringView low = item.mid(equals + 1, colon - equals - 1);
        const QStringView high = item.mid(colon + 1);
        if (!parseNumber(low, l.low) || !parseNumber(high, l.high))
            return fail(QStringLiteral("\"%1\" holds something that is not a number (write decimals with "
                                       "a point).")
                            .arg(item.toString()));
        if (l.low && l.high && *l.low > *l.high)
            return fail(QStringLiteral("the low limit of %1 lies above its high limit.").arg(name.toString()));
    }
    limits[0] = parsed[0];
    limits[1] = parsed[1];
    return {};
}

Result<> LimitOptions::read(const QCommandLineParser &parser, bool subMinuteDelay)
{
    if (parser.isSet(LimitsOption)) {
        if (Result<> parsed = parseLimits(parser.value(LimitsOption), limits); !parsed)
            return parsed;
    }
    if (parser.isSet(WarningsOption)) {
        ChannelLimits warnings[2];
        if (Result<> parsed = parseLimits(parser.value(WarningsOption), warnings, WarningsOption); !parsed)
            return parsed;
        for (int c = 0; c < 2; ++c) {
            limits[c].warningLow = warnings[c].low;
            limits[c].warningHigh = warnings[c].high;
        }
    }
    if (parser.isSet(DelayOption)) {
        // Whole minutes ("5"), or a duration with its unit ("5min", "90s").
        const QString text = parser.value(DelayOption).trimmed();
        bool ok = false;
        qint64 ms = text.toLongLong(&ok) * 60000;
        if (!ok) {
            const Result<qint64> d = parseDuration(text);
            ok = d.ok();
            ms = d.valueOr(-1);
        }
        if (!ok || ms < 0 || ms > qint64(1000000) * 60000 || (!subMinuteDelay && ms % 60000 != 0))
            return fail(ErrorCode::Usage, subMinuteDelay
                                              ? QStringLiteral("--delay must be a duration such as 5min or 30s.")
                                              : QStringLiteral("--delay must be a whole number of minutes from 0 to 1000000."));
        delayMs = ms;
        for (ChannelLimits &l : limits)
            l.delayMinutes = ms / 60000;
    }
    if (parser.isSet(DelayTotalOption)) {
        for (ChannelLimits &l : limits)
            l.delay = AlarmDelay::Total;
    }
    if (parser.isSet(EnergyOption)) {
        bool ok = false;
        const double e = QLocale::c().toDouble(parser.value(EnergyOption).trimmed(), &ok);
        if (!ok || !KineticTemperature::isValidActivationEnergy(e))
            return fail(ErrorCode::Usage, QStringLiteral("--activation-energy must be a number of kJ/mol above 0 "
                                                            "and at most 10000."));
        activationEnergy = e;
    }
    if (parser.isSet(UnitOption)) {
        const QString u = parser.value(UnitOption).trimmed().toUpper();
        if (u == QLatin1String("C"))
            unit = TemperatureUnit::Celsius;
        else if (u == QLatin1String("F"))
            unit = TemperatureUnit::Fahrenheit;
        else
            return fail(ErrorCode::Usage, QStringLiteral("--unit must be C or F."));
    }
    return {};
}

Result<> LimitOptions::checkUnitFor(bool collection) const
{
    if (collection && unit)
        return fail(ErrorCode::Usage,
                        QStringLiteral("--unit applies to data files only; a collection's data set carries its unit."));
    return {};
}

namespace {
const QString OffsetTemperatureOption = QStringLiteral("offset-temperature");
const QString OffsetHumidityOption = QStringLiteral("offset-humidity");
} // namespace

void OffsetOptions::addTo(QCommandLineParser &parser)
{
    parser.addOption({OffsetTemperatureOption,
                      QStringLiteral("Calibration offset added to every temperature reading, in the readings' unit."),
                      QStringLiteral("X")});
    parser.addOption({OffsetHumidityOption,
                      QStringLiteral("Calibration offset added to every humidity reading, in %RH."),
                      QStringLiteral("Y")});
}

Result<> OffsetOptions::read(const QCommandLineParser &parser)
{
    const auto one = [&](const QString &option, double &out) -> Result<> {
        if (!parser.isSet(option))
            return {};
        bool ok = false;
        const double v = QLocale::c().toDouble(parser.value(option).trimmed(), &ok);
        if (!ok || !Calibration::isValidOffset(v))
            return fail(ErrorCode::Usage, QStringLiteral("--%1 must be a number from -100 to 100 (written with a "
                                                         "decimal point).")
                                              .arg(option));
        out = v;
        return {};
    };
    if (Result<> r = one(OffsetTemperatureOption, offsets.temperature); !r)
        return r;
    return one(OffsetHumidityOption, offsets.humidity);
}

CalibrationOffsets OffsetOptions::forUnit(TemperatureUnit unit) const
{
    CalibrationOffsets o = offsets;
    o.unit = unit;
    return o;
}
