#pragma once

#include "chart/DialogRunner.h"
#include "core/chart/ChartState.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The chart's customization dialog: titles, axis labels, subset colours and
// line types, plotting method, grid style, background, font size and legend.
// It edits nothing until applyTo() is called with an accepted result.
class ChartCustomizeDialog : public QDialog
{
    Q_OBJECT

public:
    ChartCustomizeDialog(const ChartState &state, DialogRunner runner, QWidget *parent = nullptr);

    // Writes the dialog's values into a chart state.
    void applyTo(ChartState &state) const;

    // The colour chosen for a subset (ARGB), for tests and the colour buttons.
    quint32 subsetColor(int subset) const { return m_colors.value(subset); }
    void setSubsetColor(int subset, quint32 argb);

private:
    void chooseColor(int subset);

    DialogRunner m_runner;
    QLineEdit *m_mainTitle = nullptr;
    QLineEdit *m_subTitle = nullptr;
    QLineEdit *m_xLabel = nullptr;
    QList<QLineEdit *> m_yLabels;
    QList<QPushButton *> m_colorButtons;
    QList<QComboBox *> m_lineTypes;
    QList<quint32> m_colors;
    QComboBox *m_plotting = nullptr;
    QComboBox *m_grid = nullptr;
    QComboBox *m_background = nullptr;
    QComboBox *m_fontSize = nullptr;
    QCheckBox *m_legend = nullptr;
};
