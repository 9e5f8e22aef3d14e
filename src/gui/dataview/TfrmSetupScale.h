#pragma once

#include "core/base/Result.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// "Range": whole-number minimum and maximum of the humidity and temperature axes.
class TfrmSetupScale : public QDialog
{
    Q_OBJECT
public:
    struct Limits
    {
        int t1Min = 0, t1Max = 0;   // humidity
        int t2Min = 0, t2Max = 0;   // temperature
    };

    explicit TfrmSetupScale(QWidget *parent = nullptr);

    // Shows the chart's limits cut toward zero to whole numbers.
    void setLimits(double t1Min, double t1Max, double t2Min, double t2Max);
    // The four limits, or nothing when a box holds no whole number; invalidText
    // then is the text of the last invalid box in the order T2 max, T2 min,
    // T1 max, T1 min.
    // The limits typed; a box that holds no whole number fails with
    // "<its text> is invalid.".
    Result<Limits> limits() const;
    bool saveSetting() const;

    // A chart limit as a whole number: cut toward zero, kept inside the int
    // range, not-a-number as 0.
    static int wholeNumber(double value);

    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QLineEdit *edtT1Min = nullptr;
    QLineEdit *edtT1Max = nullptr;
    QLineEdit *edtT2Min = nullptr;
    QLineEdit *edtT2Max = nullptr;
    QCheckBox *chkSave = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
};
