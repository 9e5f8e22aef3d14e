#pragma once

#include <optional>

#include "core/data/DateTimeText.h"
#include "core/link/ClockTimer.h"
#include "core/link/ComPort.h"
#include "core/setup/LoggerSetup.h"
#include "core/setup/SetupData.h"

#include <QDialog>
#include <QDateTime>

#include <functional>
#include <memory>

class AppContext;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class WaitCursor;

// "LOGGER Setup": the logger's clock beside the PC's, the unit, the recording
// interval, the data sets in its memory, erase and the default setup. It
// talks to the meter on a port of its own, Comm3, on the device the live port
// used (the caller has closed that port). Every pause and answer is awaited
// from the event loop, so the window stays alive throughout; while a step
// runs (the start, a command) the other commands and closing are refused.
class TfrmSetup : public QDialog
{
    Q_OBJECT
public:
    // clockStream is the clock receive handler's stream buffer; it belongs to
    // the caller so that a partial frame survives to the next opening.
    TfrmSetup(AppContext &ctx, const QString &deviceName, bool unitIsCelsius, QByteArray &clockStream,
              QWidget *parent = nullptr);
    ~TfrmSetup() override;

    // Idle: the start has ended and no command runs; Timer1 polls the clock.
    bool idle() const { return m_started && !m_busy; }
    bool intervalChanged() const { return m_intervalChanged; }
    bool unitChanged() const { return m_unitChanged; }

    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBoxLogger = nullptr;
    QGroupBox *GroupBoxPC = nullptr;
    QLabel *lblLoggerTime = nullptr;
    QLabel *lblPCTime = nullptr;
    QPushButton *btnAdjustTime = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QTableWidget *DataGrid1 = nullptr;
    QPushButton *btnErase = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    QComboBox *cmbInterval = nullptr;
    QPushButton *Button2 = nullptr;
    QGroupBox *GroupBox7 = nullptr;
    QRadioButton *RadioC = nullptr;
    QRadioButton *RadioF = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    QPushButton *btnSetUnit = nullptr;
    QGroupBox *GroupBox6 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    // What the last command (or the start) came to: "Clock set", "The
    // logger did not answer", ...
    QLabel *lblStatus = nullptr;

    ComPort Comm3;
    ClockTimer Timer1;

    // The command buttons' handlers.
    void btnAdjustTimeClick();
    void btnSetUnitClick();
    void Button2Click();
    void btnEraseClick();
    void Button3Click();

    // Closing asks first when something changed and was not sent.
    void reject() override;

Q_SIGNALS:
    // The start has ended, or a command has: the window is idle again.
    void becameIdle();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createClockGroup();
    void createIntervalGroup();
    void createUnitGroup();
    void createDataGroup();
    void createDefaultSetupGroup();
    void connectControls();
    void resetGrid();
    void fillGrid(const QByteArray &directory);
    // The window start's steps.
    void FormShow();
    void directoryRead(const PacketResult &result);
    void startClockPoll();
    // Closes Comm3, attaches or detaches the clock receive handler, and after
    // 200 ms reopens it with its input cleared; then runs then.
    void reopenComm3(bool withHandler, std::function<void()> then);
    // A command's frame around its exchange: the poll stops and Comm3 comes
    // back without its handler; after the exchange the poll resumes.
    void runCommand(std::function<void(std::function<void()> ended)> exchange);
    void endCommand();
    void showStatus(const QString &text);
    // After the default setup: the interval, then the unit, read again and shown.
    void readBackSetup(std::function<void()> ended);
    // The Erase question's stake: the sets listed, and with the archive the
    // ones it lacks.
    SetupData::EraseStake eraseStake() const;
    // Records a change the logger confirmed in the archive's audit trail,
    // when there is an archive; the status says when it cannot.
    void audit(const QString &kind, const QString &before, const QString &after);
    void Timer1Timer();
    void Comm3RxChar();
    QString dateTimeText(const QDateTime &t) const;

    AppContext &m_ctx;
    QByteArray &m_clockStream;
    bool m_unitIsCelsius;
    LoggerSetup m_setup;
    DateTimeText m_texts;
    std::unique_ptr<WaitCursor> m_hourglass;
    QMetaObject::Connection m_rx;
    bool m_shown = false;
    bool m_started = false;
    bool m_busy = false;
    bool m_intervalChanged = false;
    bool m_unitChanged = false;
    // What the logger last said, the values before a change for the audit trail.
    std::optional<QDateTime> m_loggerClock;
    std::optional<int> m_loggerInterval;
    bool m_loggerCelsius = true;
    // The directory last read (empty: none, or erased), named by the Erase question.
    QByteArray m_directory;
};
