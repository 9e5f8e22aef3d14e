#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About window. At start it doubles as the splash: OK hidden, shown
// without being modal, with the search's progress in its status line.
class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    // A splash that frees itself when it closes (hold it in a QPointer).
    static TfrmAbout *createSplash();

    // The splash status line: shown with text, hidden when empty, painted at once.
    void setStatusLine(const QString &text);

    QLabel *Label1 = nullptr; // "Version:"
    QLabel *Label2 = nullptr; // the program version
    QLabel *Label3 = nullptr; // the program name
    QLabel *Label4 = nullptr; // the splash status line
    QPushButton *BitBtn1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
