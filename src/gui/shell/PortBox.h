#pragma once

#include <QComboBox>
#include <QStringList>

// The port box of the tool bar: an editable combo box whose list can be
// replaced while the user works with it (ports come and go) without losing
// the chosen entry or the typed text, and which tells when it drops down so
// that the list can be read again first.
class PortBox : public QComboBox
{
    Q_OBJECT
public:
    explicit PortBox(QWidget *parent = nullptr);

    QStringList entries() const;
    // Replaces the list. The text shown stays: it selects its entry when the
    // new list has it, otherwise it stays as typed text. Emits no change
    // signals, so the port is not reopened.
    void setEntries(const QStringList &entries);

    void showPopup() override;

Q_SIGNALS:
    void aboutToDropDown();
};
