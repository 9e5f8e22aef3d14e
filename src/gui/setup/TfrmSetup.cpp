#include "gui/setup/TfrmSetup.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"
#include "core/link/MonotonicClock.h"
#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/archive/DirectoryArchived.h"
#include "core/setup/SetupData.h"
#include "gui/common/GuiLog.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/common/WaitCursor.h"
#include "gui/setup/UnitPictures.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int GridRows = 16;
constexpr int GridColumns = 4;
// The pause around every reopening of Comm3, and between the start's steps.
constexpr int PortPauseMs = 200;

QString memoText()
{
    return QStringList{
        QStringLiteral("To reset the internal memory data to default mode, press this "),
        QStringLiteral("button. This will cure the problem of memory corruption which "),
        QStringLiteral("cause by the power interruption during data recording process. All "),
        QStringLiteral("the internal data will be erased and set to the default condition."),
        QString(),
        QString(),
    }.join(u'\n');
}

QFont arial(bool bold, bool italic)
{
    QFont f(QStringLiteral("Arial"));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// The five outer groups carry blue bold italic captions; their contents keep
// the window's own font.
QGroupBox *outerGroup(const char *name, const QString &title, QWidget *parent)
{
    auto *g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setFont(arial(true, true));
    g->setStyleSheet(QStringLiteral("QGroupBox#%1 { color: blue; }").arg(g->objectName()));
    return g;
}

QPushButton *boldButton(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFont(arial(true, false));
    b->setAutoDefault(false);
    return b;
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setFont(QApplication::font());
    return l;
}

} // namespace

TfrmSetup::TfrmSetup(AppContext &ctx, const QString &deviceName, bool unitIsCelsius, QByteArray &clockStream,
                     QWidget *parent)
    : QDialog(parent)
    , Timer1(MonotonicClock::system())
    , m_ctx(ctx)
    , m_clockStream(clockStream)
    , m_unitIsCelsius(unitIsCelsius)
    , m_loggerCelsius(unitIsCelsius)
    , m_setup(Comm3)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("LOGGER Setup"));
    setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint);
    Comm3.setObjectName(QStringLiteral("Comm3"));
    Comm3.setPortFactory(&ctx.ports());
    Comm3.setDeviceName(deviceName);
    Comm3.setBaudRate(Meter::BaudRate);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(Meter::PollIntervalMs);
    connect(&Timer1, &ClockTimer::timeout, this, &TfrmSetup::Timer1Timer);
    createControls();
}

TfrmSetup::~TfrmSetup()
{
    Timer1.stop();
    m_setup.cancel();
    // Nothing is sent on closing; the device goes back to the live port.
    Comm3.close();
}

void TfrmSetup::createControls()
{
    createClockGroup();
    createIntervalGroup();
    createUnitGroup();
    createDataGroup();
    createDefaultSetupGroup();

    BitBtn2 = boldButton("BitBtn2", QStringLiteral("Exit "), this);
    BitBtn2->setToolTip(QStringLiteral("Exit without saving "));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    auto *left = new QVBoxLayout;
    left->addWidget(GroupBox2);
    left->addWidget(GroupBox5);
    left->addWidget(GroupBox7);
    left->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(GroupBox4);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(GroupBox6, 1);
    auto *exitColumn = new QVBoxLayout;
    exitColumn->addStretch(1);
    exitColumn->addWidget(BitBtn2);
    bottom->addLayout(exitColumn);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFont(arial(true, false));
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(bottom);
    all->addWidget(lblStatus);
    all->setSizeConstraint(QLayout::SetFixedSize);
    connectControls();
}

// Clock Setup: the logger's clock, the PC's, and the button that sets one to the other.
void TfrmSetup::createClockGroup()
{
    GroupBox2 = outerGroup("GroupBox2", QStringLiteral("Clock Setup"), this);
    const auto clockGroup = [this](const char *name, const QString &title, QLabel **label, const char *labelName) {
        auto *g = new QGroupBox(title, GroupBox2);
        g->setObjectName(QString::fromLatin1(name));
        g->setFont(arial(true, false));
        g->setStyleSheet(QStringLiteral("QGroupBox#%1 { color: black; }").arg(g->objectName()));
        *label = plainLabel(QStringLiteral("yyyy/mm/dd hh:mm:ss"), g);
        (*label)->setObjectName(QString::fromLatin1(labelName));
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->setMinimumWidth(170);
        auto *l = new QHBoxLayout(g);
        l->addWidget(*label);
        return g;
    };
    GroupBoxLogger = clockGroup("GroupBoxLogger", QStringLiteral("LOGGER "), &lblLoggerTime, "lblLoggerTime");
    GroupBoxPC = clockGroup("GroupBoxPC", QStringLiteral("PC "), &lblPCTime, "lblPCTime");
    btnAdjustTime = boldButton("btnAdjustTime", QStringLiteral("Adjust to PC time"), GroupBox2);
    auto *clockLayout = new QVBoxLayout(GroupBox2);
    clockLayout->addWidget(GroupBoxLogger);
    clockLayout->addWidget(GroupBoxPC);
    clockLayout->addWidget(btnAdjustTime, 0, Qt::AlignHCenter);
}

// Interval: the list of the logger's intervals, also typed, and its OK.
void TfrmSetup::createIntervalGroup()
{
    GroupBox5 = outerGroup("GroupBox5", QStringLiteral("Interval"), this);
    cmbInterval = new QComboBox(GroupBox5);
    cmbInterval->setObjectName(QStringLiteral("cmbInterval"));
    cmbInterval->setFont(QApplication::font());
    cmbInterval->setEditable(true);
    cmbInterval->setInsertPolicy(QComboBox::NoInsert);
    cmbInterval->addItems(SetupData::intervalItems());
    cmbInterval->setEditText(QStringLiteral("00:00"));
    Button2 = boldButton("Button2", QStringLiteral("OK"), GroupBox5);
    auto *intervalLayout = new QHBoxLayout(GroupBox5);
    intervalLayout->addWidget(plainLabel(QStringLiteral("(mm:ss)"), GroupBox5));
    intervalLayout->addWidget(cmbInterval, 1);
    intervalLayout->addWidget(Button2);
}

// UNIT: the radio buttons carry no text; the pictures beside them say which is which.
void TfrmSetup::createUnitGroup()
{
    GroupBox7 = outerGroup("GroupBox7", QStringLiteral("UNIT"), this);
    RadioC = new QRadioButton(GroupBox7);
    RadioC->setObjectName(QStringLiteral("RadioC"));
    RadioF = new QRadioButton(GroupBox7);
    RadioF->setObjectName(QStringLiteral("RadioF"));
    Image1 = new QLabel(GroupBox7);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(UnitPictures::celsius());
    Image1->installEventFilter(this);
    Image2 = new QLabel(GroupBox7);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(UnitPictures::fahrenheit());
    btnSetUnit = boldButton("btnSetUnit", QStringLiteral("OK"), GroupBox7);
    auto *unitLayout = new QHBoxLayout(GroupBox7);
    unitLayout->addWidget(RadioC);
    unitLayout->addWidget(Image1);
    unitLayout->addSpacing(12);
    unitLayout->addWidget(RadioF);
    unitLayout->addWidget(Image2);
    unitLayout->addStretch(1);
    unitLayout->addWidget(btnSetUnit);
}

// DATA: the directory of the logger's memory, and Erase.
void TfrmSetup::createDataGroup()
{
    GroupBox4 = outerGroup("GroupBox4", QStringLiteral("DATA"), this);
    DataGrid1 = new QTableWidget(GridRows, GridColumns, GroupBox4);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setFont(QApplication::font());
    DataGrid1->horizontalHeader()->hide();
    DataGrid1->verticalHeader()->hide();
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    DataGrid1->setFocusPolicy(Qt::NoFocus);
    const int widths[GridColumns] = {36, 90, 80, 60};
    for (int c = 0; c < GridColumns; ++c)
        DataGrid1->setColumnWidth(c, widths[c]);
    for (int r = 0; r < GridRows; ++r) {
        DataGrid1->setRowHeight(r, 20);
        for (int c = 0; c < GridColumns; ++c) {
            auto *item = new QTableWidgetItem;
            // Row 0 and column 0 are the grid's fixed header cells.
            if (r == 0 || c == 0)
                item->setBackground(palette().button());
            item->setTextAlignment(c == 0 || r == 0 ? Qt::Alignment(Qt::AlignCenter)
                                                    : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            DataGrid1->setItem(r, c, item);
        }
    }
    int gridWidth = 2 * DataGrid1->frameWidth();
    for (int w : widths)
        gridWidth += w;
    DataGrid1->setFixedSize(gridWidth + 2, GridRows * 20 + 2 * DataGrid1->frameWidth() + 2);
    DataGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DataGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    btnErase = boldButton("btnErase", QStringLiteral("Erase"), GroupBox4);
    auto *dataLayout = new QVBoxLayout(GroupBox4);
    dataLayout->addWidget(DataGrid1);
    dataLayout->addWidget(btnErase, 0, Qt::AlignRight);
}

// Load default setup: what it does, and its OK.
void TfrmSetup::createDefaultSetupGroup()
{
    GroupBox6 = outerGroup("GroupBox6", QStringLiteral("Load default setup"), this);
    Memo1 = new QPlainTextEdit(GroupBox6);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(QApplication::font());
    Memo1->setReadOnly(true);
    Memo1->setPlainText(memoText());
    // Each of the explanation's lines on a line of its own, all in view.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int memoWidth = 0;
    for (const QString &line : memoText().split(u'\n'))
        memoWidth = qMax(memoWidth, Memo1->fontMetrics().horizontalAdvance(line));
    const int memoMargins = 2 * (Memo1->frameWidth() + int(Memo1->document()->documentMargin())) + 4;
    Memo1->setFixedSize(memoWidth + memoMargins, 6 * Memo1->fontMetrics().lineSpacing() + memoMargins);
    Button3 = boldButton("Button3", QStringLiteral("OK"), GroupBox6);
    auto *defaultLayout = new QHBoxLayout(GroupBox6);
    defaultLayout->addWidget(Memo1, 1);
    defaultLayout->addWidget(Button3, 0, Qt::AlignBottom);
}

void TfrmSetup::connectControls()
{
    connect(btnAdjustTime, &QPushButton::clicked, this, &TfrmSetup::btnAdjustTimeClick);
    connect(btnSetUnit, &QPushButton::clicked, this, &TfrmSetup::btnSetUnitClick);
    connect(Button2, &QPushButton::clicked, this, &TfrmSetup::Button2Click);
    connect(btnErase, &QPushButton::clicked, this, &TfrmSetup::btnEraseClick);
    connect(Button3, &QPushButton::clicked, this, &TfrmSetup::Button3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmSetup::reject);
    // Only the user's own choices count as changes, never the program's selections.
    connect(cmbInterval, &QComboBox::activated, this, [this] { m_intervalChanged = true; });
    connect(cmbInterval->lineEdit(), &QLineEdit::textEdited, this, [this] { m_intervalChanged = true; });
    connect(RadioF, &QRadioButton::clicked, this, [this] { m_unitChanged = true; });
    // Switching back to Celsius is a change too, or it could be lost unasked.
    connect(RadioC, &QRadioButton::clicked, this, [this] { m_unitChanged = true; });
}

bool TfrmSetup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        m_unitChanged = true;
    return QDialog::eventFilter(watched, event);
}

QString TfrmSetup::dateTimeText(const QDateTime &t) const
{
    return m_texts.dateTime(FrameworkTime::fromDateTime(t));
}

void TfrmSetup::resetGrid()
{
    for (int r = 1; r < GridRows; ++r) {
        for (int c = 1; c < GridColumns; ++c)
            DataGrid1->item(r, c)->setText(QString());
        DataGrid1->item(r, 1)->setText(QStringLiteral("empty"));
    }
}

void TfrmSetup::fillGrid(const QByteArray &directory)
{
    const QList<SetupData::DirectoryRow> rows = SetupData::listDirectory(directory);
    m_directory = directory;
    for (const SetupData::DirectoryRow &row : rows) {
        DataGrid1->item(row.set, 3)->setText(QString::number(row.samples));
        // An impossible date leaves the row's date and time as they were.
        if (!row.start)
            continue;
        const double days = FrameworkTime::fromDateTime(*row.start);
        DataGrid1->item(row.set, 1)->setText(m_texts.shortDate(days));
        DataGrid1->item(row.set, 2)->setText(m_texts.longTime(days));
    }
}

void TfrmSetup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // Centred on the screen, not over the main window.
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    }
}

void TfrmSetup::FormShow()
{
    m_busy = true;
    m_hourglass = std::make_unique<WaitCursor>();
    resetGrid();
    for (int r = 1; r < GridRows; ++r)
        DataGrid1->item(r, 0)->setText(QString::number(r));
    const QStringList header = {QStringLiteral("Set"), QStringLiteral("Date"), QStringLiteral("Time"),
                                QStringLiteral("Num.")};
    for (int c = 0; c < GridColumns; ++c)
        DataGrid1->item(0, c)->setText(header.at(c));
    cmbInterval->setCurrentIndex(1);
    (m_unitIsCelsius ? RadioC : RadioF)->setChecked(true);
    reopenComm3(false, [this] {
        Timer1.stop();
        m_setup.readDirectory([this](const PacketResult &result) { directoryRead(result); });
    });
}

void TfrmSetup::directoryRead(const PacketResult &result)
{
    if (result.bytes.size() < Meter::DirectoryKnownBytes) {
        // No directory came: the grid says nothing rather than "empty".
        for (int r = 1; r < GridRows; ++r)
            DataGrid1->item(r, 1)->setText(QString());
        m_directory.clear();
        showStatus(result.bytes.isEmpty() ? SetupData::NoAnswerText()
                                          : QStringLiteral("The logger's directory did not come whole"));
    } else {
        fillGrid(result.bytes);
    }
    MonotonicClock::system().callAfter(PortPauseMs, this, [this] {
        m_setup.queryInterval([this](std::optional<int> index) {
            if (index)
                cmbInterval->setCurrentIndex(*index);
            m_loggerInterval = index;
            MonotonicClock::system().callAfter(PortPauseMs, this, [this] { startClockPoll(); });
        });
    });
}

void TfrmSetup::startClockPoll()
{
    reopenComm3(true, [this] {
        Comm3.clearOutput();
        MonotonicClock::system().callAfter(PortPauseMs, this, [this] {
            Timer1.start();
            m_hourglass.reset();
            m_started = true;
            m_busy = false;
            Q_EMIT becameIdle();
        });
    });
}

void TfrmSetup::reopenComm3(bool withHandler, std::function<void()> then)
{
    Comm3.close();
    disconnect(m_rx);
    if (withHandler)
        m_rx = connect(&Comm3, &SerialPort::received, this, &TfrmSetup::Comm3RxChar);
    MonotonicClock::system().callAfter(PortPauseMs, this, [this, then = std::move(then)] {
        // A device that does not open leaves Comm3 closed: the requests then
        // send nothing and their waits end at once.
        Comm3.open();
        Comm3.clearInput();
        then();
    });
}

void TfrmSetup::runCommand(std::function<void(std::function<void()> ended)> exchange)
{
    m_busy = true;
    if (!m_hourglass)
        m_hourglass = std::make_unique<WaitCursor>();
    Timer1.stop();
    reopenComm3(false, [this, exchange = std::move(exchange)] { exchange([this] { endCommand(); }); });
}

void TfrmSetup::endCommand()
{
    reopenComm3(true, [this] {
        Timer1.start();
        m_hourglass.reset();
        m_busy = false;
        Q_EMIT becameIdle();
    });
}

void TfrmSetup::showStatus(const QString &text)
{
    qCInfo(lcGui).noquote() << "setup:" << text;
    lblStatus->setText(text);
}

void TfrmSetup::btnAdjustTimeClick()
{
    if (!idle())
        return;
    runCommand([this](std::function<void()> ended) {
        // The PC's time as it is at the moment of sending.
        const QDateTime sent = QDateTime::currentDateTime();
        const QString before = m_loggerClock ? m_loggerClock->toString(Qt::ISODate) : QStringLiteral("(not read)");
        m_setup.setClock(sent, [this, ended, sent, before](const QByteArray &reply) {
            showStatus(SetupData::commandOutcome(reply, SetupData::isConfirmed(reply), QStringLiteral("Clock set")));
            if (SetupData::isConfirmed(reply))
                audit(QStringLiteral("setup-clock"), before, sent.toString(Qt::ISODate));
            ended();
        });
    });
}

void TfrmSetup::btnSetUnitClick()
{
    if (!idle())
        return;
    const bool fahrenheit = !RadioC->isChecked();
    runCommand([this, fahrenheit](std::function<void()> ended) {
        m_setup.setUnit(fahrenheit, [this, ended, fahrenheit](const QByteArray &reply) {
            // Only a unit the meter took counts as saved.
            showStatus(SetupData::commandOutcome(reply, SetupData::isConfirmed(reply),
                                                 SetupData::unitSetText(fahrenheit)));
            if (SetupData::isConfirmed(reply)) {
                m_unitChanged = false;
                audit(QStringLiteral("setup-unit"), m_loggerCelsius ? QStringLiteral("C") : QStringLiteral("F"),
                      fahrenheit ? QStringLiteral("F") : QStringLiteral("C"));
                m_loggerCelsius = !fahrenheit;
            }
            ended();
        });
    });
}

void TfrmSetup::Button2Click()
{
    if (!idle())
        return;
    // Typed text that names no item of the list is no interval the meter
    // knows: nothing is sent and the change stays unsaved.
    const int index = SetupData::intervalIndex(cmbInterval->currentText());
    if (index < 0) {
        QApplication::beep();
        showStatus(SetupData::notAnIntervalText(cmbInterval->currentText()));
        return;
    }
    if (cmbInterval->currentIndex() != index)
        cmbInterval->setCurrentIndex(index);
    runCommand([this, index](std::function<void()> ended) {
        m_setup.setInterval(index, [this, ended, index](const QByteArray &reply) {
            showStatus(SetupData::commandOutcome(reply, SetupData::isConfirmed(reply),
                                                 SetupData::intervalSetText(index)));
            if (SetupData::isConfirmed(reply)) {
                m_intervalChanged = false;
                audit(QStringLiteral("setup-interval"),
                      m_loggerInterval ? SetupData::intervalItems().value(*m_loggerInterval) : QStringLiteral("(not read)"),
                      SetupData::intervalItems().value(index));
                m_loggerInterval = index;
            }
            ended();
        });
    });
}

void TfrmSetup::btnEraseClick()
{
    if (!idle())
        return;
    // What is lost is said before anything is sent.
    if (m_ctx.prompter().ask(this, SetupData::eraseQuestion(eraseStake()), QMessageBox::Yes | QMessageBox::Cancel)
        != QMessageBox::Yes)
        return;
    // The question kept the event loop turning.
    if (!idle())
        return;
    runCommand([this](std::function<void()> ended) {
        m_setup.erase([this, ended](const QByteArray &reply) {
            if (SetupData::isErased(reply)) {
                QStringList sets;
                for (const SetupData::DirectoryRow &row : SetupData::listDirectory(m_directory))
                    sets << QStringLiteral("set %1: %2, %3 samples")
                                .arg(row.set)
                                .arg(row.start ? row.start->toString(Qt::ISODate) : QStringLiteral("no date"))
                                .arg(row.samples);
                audit(QStringLiteral("setup-erase"), sets.isEmpty() ? QStringLiteral("no data sets") : sets.join(QStringLiteral("; ")),
                      QStringLiteral("erased"));
                resetGrid();
                m_directory.clear();
            }
            showStatus(SetupData::commandOutcome(reply, SetupData::isErased(reply), QStringLiteral("Memory erased")));
            ended();
        });
    });
}

void TfrmSetup::Button3Click()
{
    if (!idle())
        return;
    if (m_ctx.prompter().ask(this, QStringLiteral("Continue ?"), QMessageBox::Yes | QMessageBox::Cancel)
        == QMessageBox::Cancel)
        return;
    // The question kept the event loop turning; a click meanwhile may have
    // started another command.
    if (!idle())
        return;
    runCommand([this](std::function<void()> ended) {
        m_setup.defaultSetup([this, ended](LoggerSetup::DefaultSetup result) {
            const bool loaded = result == LoggerSetup::DefaultSetup::Loaded;
            if (loaded)
                audit(QStringLiteral("setup-default"),
                      QStringLiteral("unit %1, interval %2")
                          .arg(m_loggerCelsius ? u'C' : u'F')
                          .arg(m_loggerInterval ? SetupData::intervalItems().value(*m_loggerInterval) : QStringLiteral("(not read)")),
                      QStringLiteral("default setup"));
            m_hourglass.reset();
            m_ctx.prompter().notice(this, loaded ? QStringLiteral("Load default setup successfully.")
                                                 : QStringLiteral("Load default setup fail !!!!"));
            showStatus(loaded ? QStringLiteral("Default setup loaded")
                       : result == LoggerSetup::DefaultSetup::NoIdentity
                           ? SetupData::NoAnswerText()
                           : QStringLiteral("The logger did not confirm the default setup"));
            // The request went out whatever the identity said: what the
            // logger holds now is read again, not assumed.
            m_hourglass = std::make_unique<WaitCursor>();
            readBackSetup(ended);
        });
    });
}

void TfrmSetup::readBackSetup(std::function<void()> ended)
{
    MonotonicClock::system().callAfter(PortPauseMs, this, [this, ended] {
        m_setup.queryInterval([this, ended](std::optional<int> index) {
            if (index) {
                cmbInterval->setCurrentIndex(*index);
                m_intervalChanged = false;
                m_loggerInterval = index;
            }
            MonotonicClock::system().callAfter(PortPauseMs, this, [this, ended] {
                m_setup.readUnit([this, ended](std::optional<bool> celsius) {
                    if (celsius) {
                        (*celsius ? RadioC : RadioF)->setChecked(true);
                        m_unitChanged = false;
                        m_loggerCelsius = *celsius;
                    }
                    ended();
                });
            });
        });
    });
}

SetupData::EraseStake TfrmSetup::eraseStake() const
{
    SetupData::EraseStake stake;
    stake.sets = int(SetupData::listDirectory(m_directory).size());
    // The archive is asked only once it exists; opening it never creates one here.
    const QString path = Archive::defaultPath(m_ctx.folders().programFolder());
    if (stake.sets == 0 || !QFileInfo(path).isFile())
        return stake;
    Result<std::unique_ptr<Archive>> archive = Archive::open(path);
    Result<QList<ArchiveRunInfo>> runs = archive ? (*archive)->runs() : Result<QList<ArchiveRunInfo>>(archive.failure());
    if (!runs) {
        qCInfo(lcGui).noquote() << "the Erase question does without the archive:" << runs.message();
        return stake;
    }
    stake.notArchived = directoryArchiveStanding(m_directory, *runs).notArchived;
    return stake;
}

void TfrmSetup::audit(const QString &kind, const QString &before, const QString &after)
{
    AuditEntry e = AuditEntry::here(kind);
    e.oldValue = before;
    e.newValue = after;
    if (Result<> recorded = AuditTrail::appendIfArchived(Archive::defaultPath(m_ctx.folders().programFolder()), e);
        !recorded)
        showStatus(QStringLiteral("The change is not recorded in the audit trail: %1").arg(recorded.message()));
}

void TfrmSetup::Timer1Timer()
{
    if (Comm3.isOpen())
        SendRequest(Comm3, Meter::CLOCK_REQUEST);
    lblPCTime->setText(dateTimeText(QDateTime::currentDateTime()));
}

void TfrmSetup::Comm3RxChar()
{
    ReadWaiting(Comm3, m_clockStream, Meter::ClockReadCap);
    // A frame with an impossible date is dropped: the label keeps its text.
    SetupData::extractClockTimes(m_clockStream,
                                 [this](const QDateTime &t) {
                                     m_loggerClock = t;
                                     lblLoggerTime->setText(dateTimeText(t));
                                 });
}

void TfrmSetup::reject()
{
    // The meter is in the middle of a step; the window closes once it is idle.
    if (!idle())
        return;
    if ((m_intervalChanged || m_unitChanged)
        && m_ctx.prompter().ask(this, QStringLiteral("Something changed and not saved . Do you really want to exit ? "),
                                QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::Yes)
        return;
    Timer1.stop();
    QDialog::reject();
}
