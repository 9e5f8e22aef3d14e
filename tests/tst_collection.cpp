// Collection files and the temporary image file: the Open and Save commands
// with their choice dialog, round trips, damaged and oversized files, failed
// writes.
#include "ImageBuilder.h"
#include "MainWindowFixture.h"
#include "Harness.h"
#include "ScriptedPrompter.h"
#include "Outcome.h"
#include "TestFiles.h"

#include "chart/ChartWidget.h"
#include "core/app/MainOptions.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/CollectionFile.h"
#include "core/data/LoggerImage.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/TfrmMain.h"
#include "gui/shell/TfrmOpenSave.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int accept(QDialog &) { return TfrmOpenSave::OK; }

} // namespace

class TestCollection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void roundTripKeepsEverySet();
    void openWritesTheTemporaryImage();
    void refusedFilesChangeNothing_data();
    void refusedFilesChangeNothing();
    void exactLengthFileLoads();
    void oversizedFileIsNotRead();
    void saveWithoutAnyImage();
    void saveFromAnEarlierRunsTemporaryImage();
    void failedWriteKeepsTheFlag();
    void temporaryFolderFailure();
    void temporaryImagePath();
    void choiceDialogCaptions();
    void openChoices();
    void saveWithoutADataView();
    void saveFromAFileViewSkipsTheChoice();
    void unsavedDownloadAskedBeforeOpen_data();
    void unsavedDownloadAskedBeforeOpen();

private:
    std::unique_ptr<TfrmMain> startedWindow();
    QString file(const QString &name) const { return m_h->filePath(name); }
    void open(TfrmMain &w, const QString &path);
    void save(TfrmMain &w, const QString &path);

    std::unique_ptr<Harness::TestContext> m_h;
    // The program folder and the given user data folder, with the test's prompter.
    void makeContext(const QString &userFolder) { m_h->remake(userFolder); }
};

void TestCollection::init()
{
    m_h = std::make_unique<Harness::TestContext>(Harness::ProgramFolder::Subfolder);
    QVERIFY(m_h->isValid());
}

void TestCollection::cleanup()
{
    Harness::verifyAnswered(m_h->prompter());
    m_h.reset();
}

std::unique_ptr<TfrmMain> TestCollection::startedWindow()
{
    return startMainWindow(m_h->ctx());
}

// The Open command, choosing a collection file.
void TestCollection::open(TfrmMain &w, const QString &path)
{
    m_h->prompter().answerDialog(accept);
    m_h->prompter().answerFile(path);
    w.btnOpenClick();
}

// The Save command from the download view, choosing a collection file.
void TestCollection::save(TfrmMain &w, const QString &path)
{
    w.mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(w.downloadView()->parentWidget()));
    m_h->prompter().answerDialog(accept);
    m_h->prompter().answerFile(path);
    w.Save1Click();
}

void TestCollection::roundTripKeepsEverySet()
{
    const QByteArray image = ImageBuilder::sampleCollection().build();
    QVERIFY(writeAll(file(QStringLiteral("in.518")), image));
    QList<ShownView> first;
    {
        auto w = startedWindow();
        open(*w, file(QStringLiteral("in.518")));
        QCOMPARE(m_h->prompter().fileDialogs.last(), QStringLiteral("Data Sets Collection (*.518) (*.518)"));
        QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 3);
        for (int k = 0; k < 3; ++k) {
            w->downloadView()->Grid2->selectRow(k);
            first << shownView(*w->downloadView());
        }
        w->session().markUnsaved();
        save(*w, file(QStringLiteral("out.518")));
        QCOMPARE(m_h->prompter().fileDialogs.last(),
                 QStringLiteral("Data Set Collection file(*.518,only for KV518) (*.518)"));
        QVERIFY(!w->session().unsavedDownload());
        QVERIFY(m_h->prompter().messages.isEmpty());
    }
    QCOMPARE(readFile(file(QStringLiteral("out.518"))), image);

    auto w = startedWindow();
    open(*w, file(QStringLiteral("out.518")));
    for (int k = 0; k < 3; ++k) {
        w->downloadView()->Grid2->selectRow(k);
        QCOMPARE(shownView(*w->downloadView()), first.at(k));
    }
    // Opening changes nothing about the unsaved download.
    QVERIFY(!w->session().unsavedDownload());
}

void TestCollection::openWritesTheTemporaryImage()
{
    const QByteArray image = ImageBuilder::sampleCollection().unusedBytes(0x3C).build();
    QVERIFY(writeAll(file(QStringLiteral("in.518")), image));
    auto w = startedWindow();
    open(*w, file(QStringLiteral("in.518")));
    // Byte for byte, the bytes the program does not read included.
    QCOMPARE(readFile(CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder())), image);
    QVERIFY(CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder())
                .startsWith(m_h->filePath(QStringLiteral("user/temp"))));
    QCOMPARE(w->downloadView()->Grid3->selectionModel()->selectedRows().first().row(), 0);
    QCOMPARE(w->downloadView()->cursors().CursorAIndex(), 3);
}

void TestCollection::refusedFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = ImageBuilder::sampleCollection().buildExact();
    QTest::newRow("truncated inside the last set") << good.left(good.size() - 2);
    QTest::newRow("no data set") << ImageBuilder().build();
    QTest::newRow("shorter than the directory") << good.left(255);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("missing") << QByteArray("missing");
}

void TestCollection::refusedFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(writeAll(file(QStringLiteral("good.518")), ImageBuilder::sampleCollection().build()));
    const QString bad = file(QStringLiteral("bad.518"));
    if (bytes != "missing")
        QVERIFY(writeAll(bad, bytes));
    auto w = startedWindow();
    open(*w, file(QStringLiteral("good.518")));
    w->downloadView()->Grid2->selectRow(1);
    const ShownView before = shownView(*w->downloadView());
    const QString temp = CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder());
    const QByteArray tempBefore = readFile(temp);

    open(*w, bad);
    QCOMPARE(shownView(*w->downloadView()), before);
    QCOMPARE(w->session().store().SetCount(), 3);
    QCOMPARE(readFile(temp), tempBefore);
    QVERIFY(m_h->prompter().messages.isEmpty());
}

void TestCollection::exactLengthFileLoads()
{
    QVERIFY(writeAll(file(QStringLiteral("exact.518")), ImageBuilder::sampleCollection().buildExact()));
    auto w = startedWindow();
    open(*w, file(QStringLiteral("exact.518")));
    QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 3);
}

void TestCollection::oversizedFileIsNotRead()
{
    // A real directory followed by more bytes than any logger holds.
    const QString path = file(QStringLiteral("huge.518"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ImageBuilder::sampleCollection().build());
    QVERIFY(f.resize(Meter::MaxImageBytes + 1));
    f.close();
    QCOMPARE(outcome(CollectionFile::readImage(path)), QStringLiteral("too large"));

    auto w = startedWindow();
    open(*w, path);
    QCOMPARE(w->session().store().SetCount(), 0);
    QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), 1);
    QVERIFY(!QFile::exists(CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder())));
}

void TestCollection::saveWithoutAnyImage()
{
    auto w = startedWindow();
    w->session().markUnsaved();
    save(*w, file(QStringLiteral("out.518")));
    QVERIFY(!QFile::exists(file(QStringLiteral("out.518"))));
    QVERIFY(m_h->prompter().messages.isEmpty());
    QVERIFY(w->session().unsavedDownload());
}

void TestCollection::saveFromAnEarlierRunsTemporaryImage()
{
    auto w = startedWindow();
    const QByteArray earlier = ImageBuilder::sampleCollection().build();
    const QString temp = CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder());
    QVERIFY(QDir().mkpath(QFileInfo(temp).path()));
    QVERIFY(writeAll(temp, earlier));
    save(*w, file(QStringLiteral("out.518")));
    QCOMPARE(readFile(file(QStringLiteral("out.518"))), earlier);
}

void TestCollection::failedWriteKeepsTheFlag()
{
    QVERIFY(writeAll(file(QStringLiteral("in.518")), ImageBuilder::sampleCollection().build()));
    QVERIFY(writeAll(file(QStringLiteral("plain")), "x"));
    auto w = startedWindow();
    open(*w, file(QStringLiteral("in.518")));
    w->session().markUnsaved();
    const QString target = file(QStringLiteral("plain/out.518"));
    m_h->prompter().answerMessage(QMessageBox::Ok);
    save(*w, target);
    QCOMPARE(m_h->prompter().messages, QStringList{QStringLiteral("Cannot create file \"%1\"")
                                                   .arg(QDir::toNativeSeparators(target))});
    QVERIFY(w->session().unsavedDownload());

    // Writing over an existing collection replaces it only when complete.
    QVERIFY(writeAll(file(QStringLiteral("old.518")), "old"));
    save(*w, file(QStringLiteral("old.518")));
    QCOMPARE(readFile(file(QStringLiteral("old.518"))), ImageBuilder::sampleCollection().build());
    QVERIFY(!w->session().unsavedDownload());
}

void TestCollection::temporaryFolderFailure()
{
    // The user data folder lies under a regular file: its "temp" cannot be made.
    QVERIFY(writeAll(file(QStringLiteral("plain")), "x"));
    makeContext(file(QStringLiteral("plain/KV518/")));
    QVERIFY(writeAll(file(QStringLiteral("in.518")), ImageBuilder::sampleCollection().build()));
    auto w = startedWindow();
    m_h->prompter().answerMessage(QMessageBox::Ok);
    open(*w, file(QStringLiteral("in.518")));
    QCOMPARE(m_h->prompter().messages,
             QStringList{QDir::toNativeSeparators(file(QStringLiteral("plain/KV518/temp")))});
    // The load goes on: data set 0 is shown all the same.
    QCOMPARE(w->downloadView()->PESGraph1->model().points(), 10);
    QCOMPARE(w->downloadView()->dataListModel->rowCount(), 10);
}

void TestCollection::temporaryImagePath()
{
    QCOMPARE(CollectionFile::tempImagePath(QStringLiteral("/home/u/Documents/KV518/"), QStringLiteral("/opt/kv")),
             QStringLiteral("/home/u/Documents/KV518/temp/DataSetsTemp.tmp"));
    QCOMPARE(CollectionFile::tempImagePath(QString(), QStringLiteral("/opt/kv")),
             QStringLiteral("/opt/kv/temp/DataSetsTemp.tmp"));
}

void TestCollection::choiceDialogCaptions()
{
    TfrmOpenSave saving;
    QCOMPARE(saving.windowTitle(), QStringLiteral("Save File"));
    QCOMPARE(saving.size(), QSize(398, 207));
    QCOMPARE(saving.btnOpenSets->text(), QStringLiteral("Save all data sets to a data set collection file(*.518)"));
    QCOMPARE(saving.btnOpenSingleSet->text(), QStringLiteral("Save single selected  data set to a  file"));
    QCOMPARE(saving.Button1->text(), QStringLiteral("Cancel"));
    QVERIFY(saving.windowFlags() & Qt::WindowStaysOnTopHint);

    TfrmOpenSave opening;
    opening.setOpenCaptions(false);
    QCOMPARE(opening.windowTitle(), QStringLiteral("Open File"));
    QCOMPARE(opening.btnOpenSets->text(), QStringLiteral("Open a data set collection file(*.518)"));
    QCOMPARE(opening.btnOpenSingleSet->text(), QStringLiteral("Open single data file(*.TXT,*.CSV,*.GHF)"));
    opening.setOpenCaptions(true);
    QCOMPARE(opening.btnOpenSingleSet->text(), QStringLiteral("Open single data flle(*.TXT,*.GHF)"));

    // The buttons' modal results.
    const QList<QPair<QPushButton *, int>> results = {
        {opening.btnOpenSets, TfrmOpenSave::OK}, {opening.btnOpenSingleSet, TfrmOpenSave::No},
        {opening.Button1, TfrmOpenSave::Cancel}};
    for (const auto &[button, result] : results) {
        QSignalSpy finished(&opening, &QDialog::finished);
        button->click();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), result);
    }
}

void TestCollection::openChoices()
{
    auto w = startedWindow();
    // Cancel and the single file choice load no collection.
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::Cancel); });
    w->btnOpenClick();
    m_h->prompter().answerDialog([](QDialog &) { return int(TfrmOpenSave::No); });
    m_h->prompter().answerFile(QString());
    w->btnOpenClick();
    QCOMPARE(m_h->prompter().dialogs, (QStringList{QStringLiteral("Open File"), QStringLiteral("Open File")}));
    // The single file choice asks for a data file, not a collection.
    QCOMPARE(m_h->prompter().fileDialogs.size(), 1);
    QVERIFY(m_h->prompter().fileDialogs.first().contains(QLatin1String("Graph file(*.ghf,only for KV518)")));
    m_h->prompter().fileDialogs.clear();
    QCOMPARE(w->OpenDialog1->directory().absolutePath(), QDir(w->userDataFolder()).absolutePath());
    // A cancelled file dialog changes nothing.
    open(*w, QString());
    QCOMPARE(w->session().store().SetCount(), 0);
}

void TestCollection::saveWithoutADataView()
{
    auto w = startedWindow();
    w->mdiArea->closeAllSubWindows();
    QTRY_VERIFY(!w->downloadView());
    w->Save1Click();
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QVERIFY(m_h->prompter().fileDialogs.isEmpty());
}

void TestCollection::saveFromAFileViewSkipsTheChoice()
{
    auto w = startedWindow();
    auto *fileView = new TfrmGraph(m_h->ctx(), &w->session());
    fileView->setWindowTitle(QStringLiteral("/data/one.txt"));
    QMdiSubWindow *sub = w->mdiArea->addSubWindow(fileView);
    sub->show();
    w->mdiArea->setActiveSubWindow(sub);
    m_h->prompter().answerFile(QString());
    w->Save1Click();
    QVERIFY(m_h->prompter().dialogs.isEmpty());
    QCOMPARE(m_h->prompter().fileDialogs.size(), 1);
}

void TestCollection::unsavedDownloadAskedBeforeOpen_data()
{
    // unsaved: the flag before Open; answer: to "Save DataLogger Data ?"
    // (NoButton: not asked); choice: in the Save File window (-1: not shown);
    // saveTo: the collection file chosen there (empty: dialog cancelled);
    // opened: the other collection replaced the data sets.
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("saveTo");
    QTest::addColumn<bool>("opened");
    QTest::newRow("nothing unsaved: not asked") << false << int(QMessageBox::NoButton) << -1 << QString() << true;
    QTest::newRow("Yes, saved") << true << int(QMessageBox::Yes) << int(TfrmOpenSave::OK)
                                << QStringLiteral("saved.518") << true;
    QTest::newRow("Yes, file dialog cancelled")
        << true << int(QMessageBox::Yes) << int(TfrmOpenSave::OK) << QString() << false;
    QTest::newRow("Yes, write failed") << true << int(QMessageBox::Yes) << int(TfrmOpenSave::OK)
                                       << QStringLiteral("plain/saved.518") << false;
    QTest::newRow("Yes, save choice cancelled")
        << true << int(QMessageBox::Yes) << int(TfrmOpenSave::Cancel) << QString() << false;
    QTest::newRow("No") << true << int(QMessageBox::No) << -1 << QString() << true;
    QTest::newRow("Cancel") << true << int(QMessageBox::Cancel) << -1 << QString() << false;
}

void TestCollection::unsavedDownloadAskedBeforeOpen()
{
    QFETCH(bool, unsaved);
    QFETCH(int, answer);
    QFETCH(int, choice);
    QFETCH(QString, saveTo);
    QFETCH(bool, opened);
    const QByteArray first = ImageBuilder::sampleCollection().build();
    ImageSet set;
    set.at(QDateTime(QDate(2012, 1, 9), QTime(7, 0, 0))).every(30).ramp(12, 500, 3, 210, -2);
    const QByteArray second = ImageBuilder().add(set).build();
    QVERIFY(writeAll(file(QStringLiteral("first.518")), first));
    QVERIFY(writeAll(file(QStringLiteral("second.518")), second));
    QVERIFY(writeAll(file(QStringLiteral("plain")), "x"));
    auto w = startedWindow();
    open(*w, file(QStringLiteral("first.518")));
    w->downloadView()->Grid2->selectRow(1);
    const ShownView before = shownView(*w->downloadView());
    const QString temp = CollectionFile::tempImagePath(w->userDataFolder(), m_h->ctx().folders().programFolder());
    m_h->prompter().dialogs.clear();
    m_h->prompter().fileDialogs.clear();
    if (unsaved)
        w->session().markUnsaved();

    const QString target = saveTo.isEmpty() ? QString() : file(saveTo);
    const bool failedWrite = saveTo.startsWith(QStringLiteral("plain/"));
    QStringList messages;
    QStringList dialogs{QStringLiteral("Open File")};
    QStringList fileDialogs;
    m_h->prompter().answerDialog(accept);
    if (answer != QMessageBox::NoButton) {
        m_h->prompter().answerMessage(QMessageBox::StandardButton(answer));
        messages << QStringLiteral("Save DataLogger Data ?");
    }
    if (choice >= 0) {
        m_h->prompter().answerDialog([choice](QDialog &) { return choice; });
        dialogs << QStringLiteral("Save File");
    }
    if (choice == TfrmOpenSave::OK) {
        m_h->prompter().answerFile(target);
        fileDialogs << QStringLiteral("Data Set Collection file(*.518,only for KV518) (*.518)");
    }
    if (failedWrite) {
        m_h->prompter().answerMessage(QMessageBox::Ok);
        messages << QStringLiteral("Cannot create file \"%1\"").arg(QDir::toNativeSeparators(target));
    }
    if (opened) {
        m_h->prompter().answerFile(file(QStringLiteral("second.518")));
        fileDialogs << QStringLiteral("Data Sets Collection (*.518) (*.518)");
    }
    w->btnOpenClick();

    QCOMPARE(m_h->prompter().messages, messages);
    if (unsaved)
        QCOMPARE(m_h->prompter().messageButtons.first(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(m_h->prompter().dialogs, dialogs);
    QCOMPARE(m_h->prompter().fileDialogs, fileDialogs);
    const bool saved = !target.isEmpty() && !failedWrite;
    if (saved)
        QCOMPARE(readFile(target), first);
    else if (!target.isEmpty())
        QVERIFY(!QFile::exists(target));
    // Opening a collection leaves the flag as it was; only the save clears it.
    QCOMPARE(w->session().unsavedDownload(), unsaved && !saved);
    const QByteArray shown = opened ? second : first;
    QCOMPARE(w->session().store().lastImage(), shown);
    QCOMPARE(readFile(temp), shown);
    QCOMPARE(w->downloadView()->dataSetListModel->rowCount(), opened ? 1 : 3);
    if (!opened)
        QCOMPARE(shownView(*w->downloadView()), before);
}

QTEST_MAIN(TestCollection)
#include "core/link/MeterMessages.h"
#include "Outcome.h"
#include "tst_collection.moc"
