#pragma once

#include <QDialog>

class QPushButton;

// The choice between a data set collection and a single data file, asked by
// the Open and Save commands. Its captions are those of saving until
// setOpenCaptions() is called.
class TfrmOpenSave : public QDialog
{
    Q_OBJECT
public:
    // The modal results of the three buttons.
    enum Result { Cancel = QDialog::Rejected, OK = QDialog::Accepted, No = 2 };

    explicit TfrmOpenSave(QWidget *parent = nullptr);

    // The captions of opening; the single-file caption leaves CSV out while
    // the decimal separator is a comma.
    void setOpenCaptions(bool decimalComma);

    QPushButton *btnOpenSets = nullptr;
    QPushButton *btnOpenSingleSet = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
