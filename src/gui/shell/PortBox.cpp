#include "gui/shell/PortBox.h"

#include <QLineEdit>
#include <QSignalBlocker>

PortBox::PortBox(QWidget *parent)
    : QComboBox(parent)
{
}

QStringList PortBox::entries() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << itemText(i);
    return list;
}

void PortBox::setEntries(const QStringList &entries)
{
    if (entries == this->entries())
        return;
    const QString text = currentText();
    const int cursor = lineEdit() ? lineEdit()->cursorPosition() : 0;
    const QSignalBlocker blocker(this);
    clear();
    addItems(entries);
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(index);
    if (index < 0)
        setEditText(text);
    if (lineEdit())
        lineEdit()->setCursorPosition(cursor);
}

void PortBox::showPopup()
{
    Q_EMIT aboutToDropDown();
    QComboBox::showPopup();
}
