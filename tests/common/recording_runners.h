#pragma once
// The wait window and the module job runner as the tests stand them in:
// each runs at once and records what it was asked.
#include "data/UErrors.h"
#include "exchange/UUiHooks.h"

#include <QStringList>
#include <functional>

// Runs the step; a failure is recorded (and shown through the messages, when
// given) and ends the caller silently, as the wait window does.
class TRecordingWait : public IWaitRunner {
public:
    TRecordingWait() = default;
    explicit TRecordingWait(IMessages &messages) : m_messages(&messages) {}
    void Execute(const QString &message, const std::function<void()> &procedure) override
    {
        Messages << message;
        try {
            procedure();
        } catch (const EAbort &) {
            throw;
        } catch (const Exception &e) {
            Errors << e.Message();
            if (m_messages)
                m_messages->Error(e.Message());
            throw EAbort();
        }
    }
    QStringList Messages, Errors;

private:
    IMessages *m_messages = nullptr;
};

// Records the switches of each job, then calls Job with them; a job that
// throws EAbort failed.
class TRecordingJobs : public IJobRunner {
public:
    QStringList Switches;
    std::function<void(const QString &)> Job;
    void Run(const TJobRequest &request) override
    {
        const QString jobSwitches = JobSwitches(request);
        Switches << jobSwitches;
        if (Job)
            Job(jobSwitches);
    }
};

// What a window's status bar was told, in order.
class TRecordingStatus : public IStatusReport {
public:
    QStringList Texts, Files;
    void ShowStatus(const QString &text) override { Texts << text; }
    void ShowFile(const QString &text) override { Files << text; }
};
