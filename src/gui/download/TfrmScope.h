#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The small range and progress window: the download shows it as "Data
// Retriving Progress" (bytes received against the total), the single-file save
// as its range window and save progress, the text open as its open progress.
// Every control starts hidden; each use shows the ones it needs and then calls
// fitToControls().
class TfrmScope : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmScope(QWidget *parent = nullptr);

    // Floats above every window (the progress windows).
    void stayOnTop();
    // Shrinks the window to the lowest visible control.
    void fitToControls();

    // The range of a save: all points or from ... to.
    QGroupBox *GroupBox1 = nullptr;
    QRadioButton *radAll = nullptr;
    QRadioButton *radNo = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edtSelFrom = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *edtSelTo = nullptr;

    // Progress.
    QLabel *SText1 = nullptr;
    QLabel *lblBytesReceived = nullptr;
    QLabel *SText2 = nullptr;
    QLabel *lblTotalBytes = nullptr;
    QProgressBar *Progress1 = nullptr;

    QPushButton *BitBtn1 = nullptr;  // OK
    QPushButton *BitBtn2 = nullptr;  // Cancel

    // Whether BitBtn2 was pressed while the window was shown without blocking.
    bool cancelled() const { return m_cancelled; }

private:
    bool m_cancelled = false;
};
