#pragma once

#include "ScriptedPrompter.h"

#include "core/app/MainOptions.h"
#include "core/data/TDataSetStore.h"
#include "gui/common/AppContext.h"
#include "gui/dataview/TfrmGraph.h"
#include "gui/shell/TfrmMain.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What tests, benchmarks and screenshot programs share to run the program's
// windows: a context on temporary folders, a started main window, a data view
// without a main window.
namespace Harness {

// Where the program folder of a TestContext lies in its temporary folder.
enum class ProgramFolder {
    Root,      // the temporary folder itself; the user data folder "user/" in it is not made
    Subfolder, // "program/" beside the user data folder "user/", which is made
};

// An AppContext on the program's embedded defaults and a fresh temporary
// folder, answering through the given prompter, or through a ScriptedPrompter
// of its own when none is given.
class TestContext
{
public:
    explicit TestContext(ProgramFolder layout = ProgramFolder::Root, Prompter *prompter = nullptr);
    ~TestContext();
    TestContext(const TestContext &) = delete;
    TestContext &operator=(const TestContext &) = delete;

    // False when the temporary folder could not be made.
    bool isValid() const { return m_dir.isValid(); }
    // A path in the temporary folder.
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString path() const { return m_dir.path(); }

    AppContext &ctx() { return *m_ctx; }
    // The own ScriptedPrompter (only when no prompter was given).
    ScriptedPrompter &prompter() { return *m_scripted; }
    // Replaces the context with one on another user data folder.
    void remake(const QString &userFolder);
    // Replaces the context with one answering through prompter, which must
    // outlive it.
    void setPrompter(Prompter &prompter);

private:
    QString programFolder() const;

    QTemporaryDir m_dir;
    ProgramFolder m_layout;
    QString m_userFolder;
    std::unique_ptr<ScriptedPrompter> m_scripted;
    Prompter *m_prompter;
    std::unique_ptr<AppContext> m_ctx;
};

// Fails the running test when the prompter was asked something it had no
// answer for or, with allAnswered, when answers are left over.
void verifyAnswered(const ScriptedPrompter &prompter, bool allAnswered = true);

// Options for a main window under test: the system's serial ports are not
// probed; the given ports are listed first.
MainOptions testMainOptions(const QStringList &extraPorts = {});

// Creates and shows a main window on ctx (resized when size is valid) and
// waits until its start-up search has ended, complaining when it did not
// within waitMs.
std::unique_ptr<TfrmMain> startMainWindow(AppContext &ctx, const MainOptions &options = testMainOptions(),
                                          QSize size = QSize(1200, 800), int waitMs = 10000);

// A data view shown without a main window: it shows the data sets of its own
// store, which its data set list selects from, and knows of no unsaved download.
class DataView : public TfrmGraphHost
{
public:
    explicit DataView(AppContext &ctx, QSize size = QSize(1000, 700));
    ~DataView() override;

    // Loads image into the store and shows its first data set.
    Result<> load(const QByteArray &image);

    TfrmGraph &view() { return *m_view; }
    TDataSetStore &store() { return m_store; }

    const TDataSetStore &dataSets() const override { return m_store; }
    bool unsavedDownload() const override { return false; }
    void saveDownload(TfrmGraph &) override {}
    void downloadViewClosed() override {}

private:
    TDataSetStore m_store;
    std::unique_ptr<TfrmGraph> m_view;
};

} // namespace Harness
