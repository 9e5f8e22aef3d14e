#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "Print Option": print the graph or the sample table as text. Modal, above
// every other window, centred on the screen.
class TfrmPrintOption : public QDialog
{
    Q_OBJECT
public:
    // The window's results, as exec() returns them.
    enum Result { Cancel = 0, PrintGraph = 1, PrintText = 3 };

    explicit TfrmPrintOption(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
