#pragma once

#include "gui/live/LcdArtwork.h"

#include <QWidget>

#include <optional>

// One image of the LCD mirror: a digit window showing a glyph, or a symbol.
// It paints its picture at the screen's device pixel ratio; a transparent
// picture lets the window's ground show through its blank pixels.
class LcdImage : public QWidget
{
    Q_OBJECT
public:
    // A digit window (no symbol) or a symbol image; tag 0 means untagged.
    LcdImage(QWidget *parent, const QString &name, const QRect &geometry,
             std::optional<LcdSymbol> symbol = std::nullopt, int tag = 0);

    int tag() const { return m_tag; }
    std::optional<LcdSymbol> symbol() const { return m_symbol; }

    int glyph() const { return m_glyph; }
    void setGlyph(int index);

Q_SIGNALS:
    // Every time a picture is assigned, changed or not.
    void pictureSet();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<LcdSymbol> m_symbol;
    int m_tag = 0;
    int m_glyph = 11;
};
