#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the logger's setup replies mean: the memory directory as the setup
// window lists it, the interval list, and the logger's clock.
namespace SetupData {

// One data set of the memory directory.
struct DirectoryRow
{
    int set = 0;                    // 1..15
    std::optional<QDateTime> start; // empty when the entry's date or time is impossible
    qint64 samples = 0;             // (end address - previous end address) / 4, truncated
    bool operator==(const DirectoryRow &) const = default;
};

// The rows of a directory read (the first 320 bytes of the memory, or what
// came of them): entries 1 to 15 up to the first whose end address is zero.
// Fewer than 256 bytes hold no complete directory: no rows.
QList<DirectoryRow> listDirectory(const QByteArray &directory);

// The 14 interval items, "00:01" to "60:00", in the meter's index order.
const QStringList &intervalItems();
// The index of an item's text ("05:00" is 9); -1 for any other text.
int intervalIndex(const QString &text);

// The interval index of an INTERVAL_REPLY (EF idx FE; 14 or more counts as
// 0); empty for anything not framed so.
std::optional<int> intervalFromReply(const QByteArray &reply);

// The logger's time in a CLOCK_FRAME (EF yy mm dd hh nn ss FE); empty when
// the bytes form no real date and time.
std::optional<QDateTime> clockFrameTime(const QByteArray &frame);

// The meter confirmed a command: the reply begins EF 59 FE.
bool isConfirmed(const QByteArray &reply);
// ERASE_REQUEST's answer: byte 1 is 0x59.
bool isErased(const QByteArray &reply);
// IDENTIFY_REPLY as the default setup demands it: exactly EF "518" FE first.
bool isStrictIdentity(const QByteArray &reply);

// What "Erase" puts at stake, for the question it asks before it sends anything.
struct EraseStake
{
    int sets = 0;         // data sets in the directory last read
    int notArchived = -1; // of them, the ones the archive lacks (-1: no archive)
};
// "Erase all 3 data sets on the logger? This cannot be undone." Whatever else
// the user should weigh goes between the two sentences: with an archive,
// "2 of 3 data sets on the logger are not archived." or that all are.
QString eraseQuestion(const EraseStake &stake);

// The setup window's status line after a command the meter confirms with
// CONFIRM_REPLY (or, for erase, isErased): done when it did, "The logger did
// not answer" when nothing came, "The logger did not confirm it" otherwise.
QString NoAnswerText();
QString commandOutcome(const QByteArray &reply, bool confirmed, const QString &done);
// "Unit set to °F", "Interval set to 05:00".
QString unitSetText(bool fahrenheit);
QString intervalSetText(int index);
// The text typed in the interval box names no item of the list.
QString notAnIntervalText(const QString &typed);

} // namespace SetupData

namespace SetupData {
// The clock receive handler's frame cutting: takes the CLOCK_FRAMEs out of a
// stream buffer and hands over the time of each one that holds a real date;
// the others are consumed and dropped. A partial frame stays for later.
void extractClockTimes(QByteArray &buffer, const std::function<void(const QDateTime &)> &handler);
} // namespace SetupData
