#pragma once

#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"
#include "core/data/Statistics.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TDataSetStore;

// Where an archived run's report came from: the run, the fingerprint of its
// samples and the download record that held them, printed on every page, and a
// note for the first page (empty when there is nothing to say).
struct ReportProvenance
{
    QString samplesSha256;
    qint64 downloadId = 0;
    QDateTime downloadUtc;
    QString note;
    // The run's history, one line each (downloads, reviews, acknowledgements,
    // signatures, setup changes while it ran); a page of its own when given.
    QStringList history;
    qint64 runId = 0;
    // The signatures of these samples, one line each (printed name, date and
    // time with the offset from UTC, meaning), printed on every page.
    QStringList signatures;
};

// One data set as a report shows it: where it came from and its samples in
// point order. The window builds one from a data view, kv518-cli from a file.
struct ReportData
{
    QString fileName;               // as the header names the source
    int setNumber = 0;              // 1-based; 0 when the source has no data sets
    std::optional<double> start;    // the set's own start; else the first sample's time
    std::optional<qint64> intervalSeconds; // the set's own interval; else estimated
    QString unit;                   // "C" or "F"; empty when unknown
    std::vector<double> x;
    std::vector<float> humidity;
    std::vector<float> temperature;
    std::optional<ReportProvenance> archived; // set for a run of the archive

    qsizetype points() const { return qsizetype(x.size()); }
    // The unit as a value; empty when the source does not say.
    std::optional<TemperatureUnit> temperatureUnit() const;
    ChartSeries series() const;
    // Adds the calibration offsets to the readings (markers stay).
    void applyOffsets(const CalibrationOffsets &offsets);

    // Data set k (0-based) of a store.
    static ReportData fromStore(const TDataSetStore &store, int k, const QString &fileName);
    // The samples whose time lies within [from, to] (either bound may be
    // missing), in their order; the rest of the description is kept.
    ReportData window(std::optional<double> from, std::optional<double> to) const;
};
