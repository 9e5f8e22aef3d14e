#pragma once

#include "cli/CliContext.h"
#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// The alarm limit and mean kinetic temperature options that `stats` and
// `report` share: --limits temp=LOW:HIGH,hum=LOW:HIGH, --activation-energy E
// (kJ/mol), --unit C|F for a data file, whose readings carry no unit, and the
// alarm rules: --warnings (levels as --limits), --delay MINUTES, --delay-total.
struct LimitOptions
{
    ChannelLimits limits[2];   // 0 humidity, 1 temperature
    double activationEnergy = KineticTemperature::DefaultActivationEnergy;
    std::optional<TemperatureUnit> unit;   // as given with --unit

    static void addTo(QCommandLineParser &parser);
    // Reads the options of a parsed command line; an exit code (with the
    // message printed) when one of them is wrong. --delay is whole minutes
    // ("5") or a duration ("5min"); below a minute only with subMinuteDelay
    // (the watch, which judges every reading).
    Result<> read(const QCommandLineParser &parser, bool subMinuteDelay = false);
    std::optional<qint64> delayMs;   // as given with --delay
    // --unit names the unit of a data file's readings; a collection's data
    // set carries its own, so there it is refused.
    Result<> checkUnitFor(bool collection) const;

    // "temp=2:8,hum=:60": either side may be empty. Numbers are written with a
    // decimal point whatever the locale (the comma separates the channels).
    // Fails (with the message) for anything else or a low above the high limit.
    // `option` names the option in the messages.
    static Result<> parseLimits(const QString &text, ChannelLimits (&limits)[2],
                                const QString &option = QStringLiteral("limits"));
};

// --offset-temperature X and --offset-humidity Y of `stats`, `export` and
// `report`: calibration offsets added to the readings (the temperature's in
// the readings' unit); the file read stays as it is.
struct OffsetOptions
{
    CalibrationOffsets offsets;

    static void addTo(QCommandLineParser &parser);
    Result<> read(const QCommandLineParser &parser);
    // The offsets added to readings in `unit`, with the unit noted for the texts.
    CalibrationOffsets forUnit(TemperatureUnit unit) const;
};
