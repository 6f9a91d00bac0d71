#pragma once
// The window tests of the editors: one QApplication, a data module on the
// ER-A277PS Plus profile under Polish formats, and fakes for the message
// boxes, the wait window, the dialogs and the module (a job either writes
// the lines a register would send back, or only records its switches).
#include "editors/UEditorEnv.h"
#include "data/UErrors.h"
#include "editors/UKvDBGrid.h"

#include "../data/data_test_support.h"
#include "recording_runners.h"
#include "scripted_messages.h"
#include "test_application.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <deque>


inline QApplication &TestApp()
{
    return TestApplication("test_editors");
}

using TFakeMessages = TQueuedMessages;

using TFakeWait = TRecordingWait;

// A module job: records the switches; an upload writes Lines (Windows-1250,
// CR LF) into the exchange file, as the register's answer.
class TFakeJobs : public IJobRunner {
public:
    void Run(const TJobRequest &request) override
    {
        const QString jobSwitches = JobSwitches(request);
        Jobs << jobSwitches;
        if (Fail)
            throw EAbort();
        if (jobSwitches.contains(QStringLiteral("/XU"))) {
            QFile f(File);
            if (f.open(QIODevice::WriteOnly))
                for (const QString &line : Lines)
                    f.write(line.toLatin1() + "\r\n");
        }
    }
    QString File;
    QStringList Lines;
    QStringList Jobs;
    bool Fail = false;
};

class TFakeDialogs : public IExchangeDialogs {
public:
    bool ConfirmRead(bool forView, bool &clearFirst, bool &withCounters) override
    {
        ReadForView << forView;
        clearFirst = !forView && ClearFirst;
        withCounters = WithCounters;
        return true;
    }
    bool ConfirmSend() override { return true; }
    bool ClearFirst = true;
    bool WithCounters = false;
    QList<bool> ReadForView;
};

class EditorWindowTest : public PolishDataModuleTest {
protected:
    void SetUp() override
    {
        TestApp();
        PolishDataModuleTest::SetUp();
        ASSERT_TRUE(folder.isValid());
        env.DM = &dm;
        env.Messages = &messages;
        env.Wait = &wait;
        env.Jobs = &jobs;
        env.Dialogs = &dialogs;
        env.GrupyFile = folder.filePath(QStringLiteral("grupy.txt"));
        env.KodyFile = folder.filePath(QStringLiteral("kody.txt"));
        env.KaucjeFile = folder.filePath(QStringLiteral("kaucje.txt"));
    }

    // Appends one record with the given field texts (through set-text).
    static void AddRow(TRxMemoryData &t, const QStringList &fieldsAndTexts)
    {
        t.Append();
        for (int i = 0; i + 1 < fieldsAndTexts.size(); i += 2)
            t.FieldByName(fieldsAndTexts[i]).SetText(fieldsAndTexts[i + 1]);
        t.Post();
    }

    QTemporaryDir folder;
    TFakeMessages messages;
    TFakeWait wait{messages};
    TFakeJobs jobs;
    TFakeDialogs dialogs;
    TEditorEnv env;
};
