#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The small window that asks for the text of a note placed on a chart.
class TfrmAnnoEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAnnoEdit(QWidget *parent = nullptr);

    QString text() const;

    QLineEdit *Edit1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
};
