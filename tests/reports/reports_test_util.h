#pragma once
// Shared pieces of the report window tests: one QApplication, Polish
// formats, and fakes of the front end that record what they were asked.
#include "data/UDM.h"
#include "editors/UEditorEnv.h"
#include "data/UErrors.h"
#include "exchange/UUiHooks.h"
#include "data/UGlobals.h"
#include "data/ULocale.h"
#include "reports/core/USalesReport.h"
#include "recording_runners.h"
#include "scripted_messages.h"
#include "test_application.h"

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <deque>
#include <functional>
#include <stdexcept>

inline QApplication &ReportsTestApp()
{
    return TestApplication("test_reports");
}

template <class T> T *Child(const QObject &window, const char *name)
{
    T *child = window.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return child;
}

using TFakeMessages = TQueuedMessages;

using TFakeWait = TRecordingWait;

using TFakeJobs = TRecordingJobs;

class TFakeDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool, bool &clearFirst, bool &withCounters) override
    {
        clearFirst = withCounters = true;
        return true;
    }
    bool ConfirmSend() override { return true; }
};

class TFakeOpener : public IShellOpener {
public:
    QStringList Opened;
    void OpenWithShell(const QString &fileName) override { Opened << fileName; }
};

// A report window's surroundings: an ER-A277PS Plus data module in Polish
// formats, a temporary folder and the recording front end, wired into env.
class ReportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReportsTestApp();
        ASSERT_TRUE(dir.isValid());
        dm.ApplyProfile(KasaER_A277PSPlus, true, 0);
        env.DM = &dm;
        env.Messages = &messages;
        env.Wait = &wait;
        env.Jobs = &jobs;
        env.Dialogs = &dialogs;
    }

    TPolishFormats formats;
    QTemporaryDir dir;
    TDM dm;
    TFakeMessages messages;
    TFakeWait wait{messages};
    TFakeJobs jobs;
    TFakeDialogs dialogs;
    TEditorEnv env;
};
