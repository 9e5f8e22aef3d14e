#include "gui/live/TfrmLCD.h"

#include "core/data/AtomicFile.h"

#include "gui/live/LcdImage.h"

#include <QCloseEvent>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QTimer>

#include <algorithm>

namespace {

constexpr QSize kClientSize{276, 100};
constexpr int kMaxTag = 39;
// How soon a close held back by the receive handler is tried again.
constexpr int kCloseRetryMs = 20;

QRect at(int left, int top, LcdSymbol symbol)
{
    return {QPoint(left, top), LcdArtwork::symbolSize(symbol)};
}

} // namespace

TfrmLCD::TfrmLCD(QWidget *owner, std::function<bool()> receiveBusy)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                         | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_receiveBusy(std::move(receiveBusy))
{
    setObjectName(QStringLiteral("frmLCD"));
    setWindowTitle(QStringLiteral("LCD"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientSize);
    QPalette ground = palette();
    ground.setColor(QPalette::Window, LcdArtwork::groundColor());
    setPalette(ground);
    setAutoFillBackground(true);
    createImages();
}

TfrmLCD::~TfrmLCD() = default;

void TfrmLCD::createImages()
{
    const auto digit = [this](const char *name, int left) {
        auto *image = new LcdImage(this, QLatin1String(name),
                                   QRect(left, 32, LcdArtwork::kGlyphSize.width() - 1,
                                         LcdArtwork::kGlyphSize.height()));
        m_digitWindows << image;
        m_readingImages << image;
    };
    digit("MainD2", 74);
    digit("MainD3", 114);
    digit("MainD4", 155);
    digit("MainD5", 198);

    const auto symbol = [this](const QString &name, int left, int top, LcdSymbol s, int tag = 0) {
        auto *image = new LcdImage(this, name, at(left, top, s), s, tag);
        image->hide();
        return image;
    };
    m_readingImages << symbol(QStringLiteral("imgMPoint4"), 188, 81, LcdSymbol::DecimalPoint, 13)
                    << symbol(QStringLiteral("imgT1Minus"), 49, 62, LcdSymbol::Minus, 10);
    m_imgC = symbol(QStringLiteral("imgC"), 239, 27, LcdSymbol::Celsius, 14);
    m_imgF = symbol(QStringLiteral("imgF"), 239, 43, LcdSymbol::Fahrenheit, 15);
    m_imgRH = symbol(QStringLiteral("imgRH"), 240, 64, LcdSymbol::Humidity);
    m_readingImages << m_imgC << m_imgF << m_imgRH;
    symbol(QStringLiteral("imgMEM"), 28, 8, LcdSymbol::Memory, 9);
    for (int i = 0; i < 8; ++i)
        symbol(QStringLiteral("imgMCell%1").arg(i), 28, 87 - 9 * i, LcdSymbol::MemoryBar, 1 + i);
    m_imgRS232 = symbol(QStringLiteral("imgRS232"), 61, 8, LcdSymbol::Rs232);
    symbol(QStringLiteral("imgINTV"), 121, 8, LcdSymbol::Interval, 11);
    symbol(QStringLiteral("imgRec"), 164, 8, LcdSymbol::Recording, 12);
    symbol(QStringLiteral("imgBATEmpty"), 202, 7, LcdSymbol::BatteryOutline, 16);
    for (int i = 4; i >= 0; --i)
        symbol(QStringLiteral("imgBCell%1").arg(i), 211 + 9 * (4 - i), 11, LcdSymbol::BatteryBar,
               21 - i);
}

void TfrmLCD::setStale(bool stale)
{
    if (stale == m_stale)
        return;
    m_stale = stale;
    for (LcdImage *image : std::as_const(m_readingImages)) {
        if (!stale) {
            image->setGraphicsEffect(nullptr);
            continue;
        }
        auto *faded = new QGraphicsOpacityEffect(image);
        faded->setOpacity(0.3);
        image->setGraphicsEffect(faded);
    }
}

TfrmLCD *TfrmLCD::create(QWidget *owner, std::function<bool()> receiveBusy, const QString &tagFolder)
{
    auto *mirror = new TfrmLCD(owner, std::move(receiveBusy));
    mirror->setTagFolder(tagFolder);
    const int ownerHeight = owner ? owner->height() : kClientSize.height() + 30;
    mirror->move(5, ownerHeight - mirror->height() - 30);
    mirror->BuildLcdLists();
    mirror->show();
    return mirror;
}

void TfrmLCD::BuildLcdLists()
{
    m_indicatorImages.clear();
    m_digitImages.clear();

    const auto images = findChildren<LcdImage *>(Qt::FindDirectChildrenOnly);
    QList<LcdImage *> tagged;
    for (LcdImage *image : images) {
        if (image->tag() >= 1 && image->tag() <= kMaxTag)
            tagged << image;
    }
    int length = int(tagged.size());
    for (LcdImage *image : tagged)
        length = std::max(length, image->tag());
    m_indicatorImages.resize(length, nullptr);
    for (LcdImage *image : tagged)
        m_indicatorImages[image->tag() - 1] = image;

    for (LcdImage *image : m_digitWindows) {
        m_digitImages << image;
        image->setGlyph(kBlankGlyph);
    }
    writeLcdTagFile();
}

QString TfrmLCD::lcdTagText() const
{
    QString text;
    for (int i = 0; i < m_indicatorImages.size(); ++i) {
        const LcdImage *image = m_indicatorImages.at(i);
        text += QStringLiteral("%1\t%2\n").arg(i).arg(image ? image->objectName() : QString());
    }
    return text;
}

void TfrmLCD::writeLcdTagFile() const
{
    // Diagnostics only: a folder we cannot write to (a desktop launch may start
    // anywhere) costs nothing but the list.
    if (m_tagFolder.isEmpty())
        return;
    // The text carries its own line ends.
    [[maybe_unused]] const Result<> written
        = AtomicFile::write(QDir(m_tagFolder).filePath(QStringLiteral("lcdtag.txt")), lcdTagText().toUtf8());
}

void TfrmLCD::UpdateLcd(const LiveDisplayState &state)
{
    const quint32 changed = state.IndicatorMask ^ m_shownMask;
    for (int k = 0; k < m_indicatorImages.size() && k < 32; ++k) {
        LcdImage *image = m_indicatorImages.at(k);
        if (image && (changed >> k) & 1u)
            image->setVisible(state.lit(k));
    }
    m_shownMask = state.IndicatorMask;

    for (int j = 0; j < m_digitImages.size() && j < int(m_shownDigits.size()); ++j) {
        const quint8 code = state.DigitCodes[3 + j];
        if (code != m_shownDigits[j]) {
            m_digitImages.at(j)->setGlyph(code);
            m_shownDigits[j] = code;
        }
    }

    const bool showHumidity = m_imgC->isHidden() && m_imgF->isHidden();
    if (m_imgRH->isHidden() == showHumidity)
        m_imgRH->setVisible(showHumidity);
}

void TfrmLCD::setRs232Visible(bool visible)
{
    if (m_imgRS232->isHidden() == visible)
        m_imgRS232->setVisible(visible);
}

void TfrmLCD::closeEvent(QCloseEvent *event)
{
    // Closing frees the window; the receive handler may be in the middle of
    // updating it (it waits in a nested event loop), so the close is tried
    // again from the event loop once the handler has finished.
    if (m_receiveBusy && m_receiveBusy()) {
        event->ignore();
        if (!m_closePending) {
            m_closePending = true;
            QTimer::singleShot(kCloseRetryMs, this, [this] {
                m_closePending = false;
                close();
            });
        }
        return;
    }
    event->accept();
}
