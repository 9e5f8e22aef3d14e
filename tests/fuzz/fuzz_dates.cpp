// The compiled date and time patterns that read every line of a TXT or CSV
// file, in the regional formats of several locales. Whatever the text, a
// line that reads gives a real date and a time within the day, and writing
// that date and time and reading it again gives the same values.
#include "FuzzCheck.h"

#include "core/data/DateTimePattern.h"

#include <array>

namespace {

struct Case
{
    const char *format;
    QLocale::Language language;
    QLocale::Territory territory;
};

constexpr std::array Cases{
    Case{"M/d/yyyy h:mm:ss AP", QLocale::English, QLocale::UnitedStates},
    Case{"dd.MM.yyyy HH:mm:ss", QLocale::German, QLocale::Germany},
    Case{"yyyy-MM-dd HH:mm:ss.zzz", QLocale::Swedish, QLocale::Sweden},
    Case{"d MMMM yy h:mm ap", QLocale::French, QLocale::France},
    Case{"dddd, d. MMM yyyy H:mm", QLocale::German, QLocale::Austria},
    Case{"'day' d 'of' M, yy", QLocale::English, QLocale::UnitedKingdom},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<DateTimePattern> patterns = [] {
        std::vector<DateTimePattern> list;
        for (const Case &c : Cases)
            list.emplace_back(QString::fromLatin1(c.format), QLocale(c.language, c.territory));
        return list;
    }();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const DateTimePattern &pattern : patterns) {
        if (!pattern.isCompiled())
            continue;
        QDate date;
        int ms = -1;
        if (!pattern.parse(text, date, ms))
            continue;
        FUZZ_CHECK(date.isValid());
        FUZZ_CHECK(ms >= 0 && ms < 86400000);
        QString written;
        pattern.append(written, date, ms);
        QDate again;
        int msAgain = -1;
        FUZZ_CHECK(pattern.parse(written, again, msAgain));
        FUZZ_CHECK(again == date);
        FUZZ_CHECK(msAgain == ms);
    }
    return 0;
}
