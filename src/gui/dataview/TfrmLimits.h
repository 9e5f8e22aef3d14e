#pragma once

#include "core/base/Result.h"

#include "core/data/AlarmLimits.h"
#include "core/data/Calibration.h"

#include <QDialog>

#include <optional>

class DateTimeText;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Limits": the low and high alarm limits of humidity and temperature (an
// empty box sets none), their warning levels and the delay before a limit
// counts as breached, the calibration offsets, and the activation energy of
// the mean kinetic temperature, typed after the view's regional formats. OK with a box that
// does not hold a valid entry says so and leaves the window open. A file
// view also chooses the unit its readings are taken in, since a data file
// does not say.
class TfrmLimits : public QDialog
{
    Q_OBJECT
public:
    struct Values
    {
        ChannelLimits humidity;
        ChannelLimits temperature;
        double activationEnergy = KineticTemperature::DefaultActivationEnergy;
        CalibrationOffsets offsets;   // the temperature's in the limits' unit
        TemperatureUnit fileUnit = TemperatureUnit::Celsius;   // file views only
    };

    // prompter shows the messages; texts read and write the numbers.
    TfrmLimits(Prompter &prompter, const DateTimeText &texts, bool fileView, QWidget *parent = nullptr);

    // Fills the boxes; the temperature limits are in limitsUnit.
    void setValues(const Values &values, TemperatureUnit limitsUnit);
    // The entries, or nothing with the message for the user.
    Result<Values> read() const;
    // What OK took (the entries as they were read).
    const Values &values() const { return m_values; }

    static QString unitText(TemperatureUnit unit);

    QLineEdit *edtHumidityLow = nullptr;
    QLineEdit *edtHumidityHigh = nullptr;
    QLineEdit *edtTemperatureLow = nullptr;
    QLineEdit *edtTemperatureHigh = nullptr;
    QLabel *lblTemperatureUnit = nullptr;
    QLineEdit *edtHumidityWarningLow = nullptr;
    QLineEdit *edtHumidityWarningHigh = nullptr;
    QLineEdit *edtTemperatureWarningLow = nullptr;
    QLineEdit *edtTemperatureWarningHigh = nullptr;
    QLineEdit *edtHumidityDelay = nullptr;
    QLineEdit *edtTemperatureDelay = nullptr;
    QComboBox *cmbHumidityDelay = nullptr;
    QComboBox *cmbTemperatureDelay = nullptr;
    QLineEdit *edtHumidityOffset = nullptr;
    QLineEdit *edtTemperatureOffset = nullptr;
    QLabel *lblOffsetUnit = nullptr;
    QLineEdit *edtActivationEnergy = nullptr;
    QLabel *lblFileUnit = nullptr;
    QComboBox *cmbFileUnit = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

public Q_SLOTS:
    void accept() override;

private:
    QString numberText(std::optional<double> value) const;

    Prompter &m_prompter;
    const DateTimeText &m_texts;
    Values m_values;
};
