#include "chart/ChartCustomizeDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct LineChoice
{
    const char *name;
    int type;
};

const LineChoice kLineChoices[] = {
    {"Thin solid", LineType::ThinSolid},   {"Thin dash", LineType::Dash},
    {"Thin dot", LineType::Dot},           {"Thin dash dot", LineType::DashDot},
    {"Thin dash dot dot", LineType::DashDotDot}, {"Medium solid", LineType::MediumSolid},
    {"Medium dash", LineType::MediumDash}, {"Medium dot", LineType::MediumDot},
    {"Thick solid", LineType::ThickSolid},
};

void fillCombo(QComboBox *box, const QStringList &items, int current)
{
    box->addItems(items);
    box->setCurrentIndex(current);
}

void paintButton(QPushButton *button, quint32 argb)
{
    button->setText(QColor::fromRgba(argb).name());
    button->setStyleSheet(QStringLiteral("QPushButton { color: %1; }").arg(QColor::fromRgba(argb).name()));
}

} // namespace

ChartCustomizeDialog::ChartCustomizeDialog(const ChartState &state, DialogRunner runner, QWidget *parent)
    : QDialog(parent)
    , m_runner(std::move(runner))
{
    setWindowTitle(tr("Graph Customization"));
    setModal(true);
    auto *top = new QVBoxLayout(this);

    auto *texts = new QGroupBox(tr("Titles"), this);
    auto *textForm = new QFormLayout(texts);
    m_mainTitle = new QLineEdit(state.looks.mainTitle, texts);
    m_mainTitle->setObjectName(QStringLiteral("edtMainTitle"));
    m_subTitle = new QLineEdit(state.looks.subTitle, texts);
    m_subTitle->setObjectName(QStringLiteral("edtSubTitle"));
    m_xLabel = new QLineEdit(state.xAxis.label, texts);
    m_xLabel->setObjectName(QStringLiteral("edtXAxisLabel"));
    textForm->addRow(tr("Main title"), m_mainTitle);
    textForm->addRow(tr("Sub title"), m_subTitle);
    textForm->addRow(tr("X axis label"), m_xLabel);
    const int axes = std::max<int>(state.subsets, 1);
    for (int a = 0; a < axes; ++a) {
        auto *edit = new QLineEdit(a < state.axes.size() ? state.axes[a].label : QString(), texts);
        edit->setObjectName(QStringLiteral("edtYAxisLabel%1").arg(a));
        textForm->addRow(tr("Y axis %1 label").arg(a + 1), edit);
        m_yLabels << edit;
    }
    top->addWidget(texts);

    auto *subsets = new QGroupBox(tr("Subsets"), this);
    auto *subsetForm = new QFormLayout(subsets);
    QStringList lineNames;
    for (const LineChoice &c : kLineChoices)
        lineNames << tr(c.name);
    for (int s = 0; s < state.subsets; ++s) {
        m_colors << (s < state.looks.subsetColors.size() ? state.looks.subsetColors[s] : quint32(0xff000000));
        auto *color = new QPushButton(subsets);
        color->setObjectName(QStringLiteral("btnColor%1").arg(s));
        paintButton(color, m_colors.last());
        connect(color, &QPushButton::clicked, this, [this, s] { chooseColor(s); });
        m_colorButtons << color;
        auto *line = new QComboBox(subsets);
        line->setObjectName(QStringLiteral("cmbLineType%1").arg(s));
        const int type = s < state.looks.subsetLineTypes.size() ? state.looks.subsetLineTypes[s] : LineType::ThinSolid;
        int current = 0;
        for (int i = 0; i < int(std::size(kLineChoices)); ++i) {
            if (kLineChoices[i].type == type)
                current = i;
        }
        fillCombo(line, lineNames, current);
        m_lineTypes << line;
        auto *row = new QHBoxLayout;
        row->addWidget(color);
        row->addWidget(line, 1);
        const QString label = s < state.looks.subsetLabels.size() && !state.looks.subsetLabels[s].isEmpty()
            ? state.looks.subsetLabels[s] : tr("Subset %1").arg(s + 1);
        subsetForm->addRow(label, row);
    }
    top->addWidget(subsets);

    auto *looks = new QGroupBox(tr("Style"), this);
    auto *lookForm = new QFormLayout(looks);
    m_plotting = new QComboBox(looks);
    m_plotting->setObjectName(QStringLiteral("cmbPlottingMethod"));
    fillCombo(m_plotting, {tr("Line"), tr("Spline"), tr("Points"), tr("Points and line")},
              int(state.looks.plottingMethod));
    m_grid = new QComboBox(looks);
    m_grid->setObjectName(QStringLiteral("cmbGridStyle"));
    fillCombo(m_grid, {tr("Thin solid"), tr("Thick"), tr("Dot"), tr("Dash"), tr("One pixel")},
              int(state.looks.gridStyle));
    m_background = new QComboBox(looks);
    m_background->setObjectName(QStringLiteral("cmbBackground"));
    const bool gradient = state.looks.bitmapGradientMode
        && state.looks.deskGradientStyle != DeskGradientStyle::sgNoGradient;
    fillCombo(m_background, {tr("Plain"), tr("Gradient")}, gradient ? 1 : 0);
    m_fontSize = new QComboBox(looks);
    m_fontSize->setObjectName(QStringLiteral("cmbFontSize"));
    fillCombo(m_fontSize, {tr("Small"), tr("Medium"), tr("Large")}, int(state.looks.fontSize));
    m_legend = new QCheckBox(tr("Show legend"), looks);
    m_legend->setObjectName(QStringLiteral("chkLegend"));
    m_legend->setChecked(state.looks.showLegend);
    lookForm->addRow(tr("Plotting method"), m_plotting);
    lookForm->addRow(tr("Grid style"), m_grid);
    lookForm->addRow(tr("Background"), m_background);
    lookForm->addRow(tr("Font size"), m_fontSize);
    lookForm->addRow(QString(), m_legend);
    top->addWidget(looks);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void ChartCustomizeDialog::setSubsetColor(int subset, quint32 argb)
{
    if (subset < 0 || subset >= m_colors.size())
        return;
    m_colors[subset] = argb;
    paintButton(m_colorButtons[subset], argb);
}

void ChartCustomizeDialog::chooseColor(int subset)
{
    QColorDialog dialog(QColor::fromRgba(m_colors.value(subset)), this);
    if (runDialog(m_runner, dialog) == QDialog::Accepted)
        setSubsetColor(subset, dialog.currentColor().rgba());
}

void ChartCustomizeDialog::applyTo(ChartState &state) const
{
    state.looks.mainTitle = m_mainTitle->text();
    state.looks.subTitle = m_subTitle->text();
    state.xAxis.label = m_xLabel->text();
    for (int a = 0; a < m_yLabels.size(); ++a) {
        if (state.axes.size() <= a)
            state.axes.resize(a + 1);
        state.axes[a].label = m_yLabels[a]->text();
    }
    if (state.looks.subsetColors.size() < m_colors.size())
        state.looks.subsetColors.resize(m_colors.size(), 0xff000000u);
    if (state.looks.subsetLineTypes.size() < m_lineTypes.size())
        state.looks.subsetLineTypes.resize(m_lineTypes.size(), LineType::ThinSolid);
    for (int s = 0; s < m_colors.size(); ++s) {
        state.looks.subsetColors[s] = m_colors[s];
        state.looks.subsetLineTypes[s] = kLineChoices[std::max(m_lineTypes[s]->currentIndex(), 0)].type;
    }
    state.looks.plottingMethod = PlottingMethod(std::max(m_plotting->currentIndex(), 0));
    state.looks.gridStyle = GridStyle(std::max(m_grid->currentIndex(), 0));
    const bool gradient = m_background->currentIndex() == 1;
    state.looks.bitmapGradientMode = gradient;
    if (gradient && state.looks.deskGradientStyle == DeskGradientStyle::sgNoGradient)
        state.looks.deskGradientStyle = DeskGradientStyle::sgVerticalGradient;
    state.looks.fontSize = FontSize(std::max(m_fontSize->currentIndex(), 0));
    state.looks.showLegend = m_legend->isChecked();
}
