#pragma once

#include "core/live/LiveDecoder.h"

#include <QList>
#include <QWidget>

#include <array>
#include <functional>

class LcdImage;

// The LCD mirror: a small always-on-top window copying the meter's display.
// It holds no logic of its own; UpdateLcd shows a decoded display state and
// touches only the images that differ from the last one shown.
class TfrmLCD : public QWidget
{
    Q_OBJECT
public:
    // receiveBusy tells whether the live receive handler is running; the
    // window is never closed (and so never freed) while it is.
    explicit TfrmLCD(QWidget *owner = nullptr, std::function<bool()> receiveBusy = {});
    ~TfrmLCD() override;

    // What the main window's show handler does: create the mirror above the
    // bottom-left corner of the owner, build its lists and show it. The window
    // deletes itself when closed; hold it in a QPointer.
    // The diagnostic list "lcdtag.txt" goes into tagFolder (the program data
    // folder), never into the current directory.
    static TfrmLCD *create(QWidget *owner, std::function<bool()> receiveBusy, const QString &tagFolder);

    // Where BuildLcdLists writes "lcdtag.txt"; empty: nowhere.
    void setTagFolder(const QString &folder) { m_tagFolder = folder; }

    // Builds IndicatorImages (by tag) and DigitImages, blanks the digits and
    // writes the diagnostic list "lcdtag.txt" into the tag folder.
    void BuildLcdLists();
    void UpdateLcd(const LiveDisplayState &state);
    // The RS-232 symbol, driven by the connection monitor.
    void setRs232Visible(bool visible);
    // While no meter is connected the reading (digits, sign, point, unit)
    // stays as last shown but faded, so that it cannot pass for a live one.
    void setStale(bool stale);
    bool isStale() const { return m_stale; }

    const QList<LcdImage *> &IndicatorImages() const { return m_indicatorImages; }
    const QList<LcdImage *> &DigitImages() const { return m_digitImages; }
    quint32 ShownMask() const { return m_shownMask; }
    const std::array<quint8, 4> &ShownDigits() const { return m_shownDigits; }

    // The diagnostic list's lines ("index<TAB>name").
    QString lcdTagText() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createImages();
    void writeLcdTagFile() const;

    std::function<bool()> m_receiveBusy;
    bool m_closePending = false;

    LcdImage *m_imgC = nullptr;
    LcdImage *m_imgF = nullptr;
    LcdImage *m_imgRH = nullptr;
    LcdImage *m_imgRS232 = nullptr;
    QList<LcdImage *> m_digitWindows;
    QList<LcdImage *> m_readingImages; // what setStale fades
    bool m_stale = false;

    QList<LcdImage *> m_indicatorImages;
    QList<LcdImage *> m_digitImages;
    quint32 m_shownMask = 0;
    std::array<quint8, 4> m_shownDigits{kBlankGlyph, kBlankGlyph, kBlankGlyph, kBlankGlyph};
    QString m_tagFolder;
};
