#pragma once

#include <QDialog>

class AppContext;
class QLabel;
class QPushButton;

// The download's error dialog: the message on top, then "Try Again", "Fixed
// the error " and "Cancel". The download hides Button1 for read errors.
// Below them, "Save Transfer Log..." saves what went over the line, the
// failed attempt included, and leaves the dialog open.
class TfrmErr : public QDialog
{
    Q_OBJECT
public:
    // The modal results of the three buttons; closing the window is Cancel.
    enum Result { Cancel = QDialog::Rejected, OK = QDialog::Accepted, Retry = 2 };

    explicit TfrmErr(AppContext &ctx, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    // The second line: why the attempt failed ("The line went away after
    // 6656 of 7936 bytes").
    QLabel *lblCause = nullptr;
    QPushButton *Button2 = nullptr;  // "Try Again"
    QPushButton *Button1 = nullptr;  // "Fixed the error "
    QPushButton *Button3 = nullptr;  // "Cancel"
    QPushButton *btnSaveTransferLog = nullptr; // "Save Transfer Log..."

protected:
    void showEvent(QShowEvent *event) override;
};
