#pragma once
// Messages as the tests stand them in: every question gets the answer set
// beforehand, and everything said is logged.
#include "data/ULocale.h"
#include "exchange/UUiHooks.h"

#include <QStringList>
#include <deque>

// One answer for every question; logged as "info …", "error …", "ask …".

class TScriptedMessages : public IMessages {
public:
    void Information(const QString &text) override { Log << QStringLiteral("info ") + text; }
    void Error(const QString &text) override { Log << QStringLiteral("error ") + text; }
    TPromptAnswer Ask(const QString &text, TAskKind, bool) override
    {
        Log << QStringLiteral("ask ") + text;
        return Answer;
    }
    TPromptAnswer Answer = TPromptAnswer::Yes;
    QStringList Log;
};

// Answers taken from a queue (No when it runs dry); logged as "info: …",
// "error: …", "ask: …".
class TQueuedMessages : public IMessages {
public:
    QStringList Log;
    std::deque<TPromptAnswer> Answers;

    void Information(const QString &text) override { Log << QStringLiteral("info: ") + text; }
    void Error(const QString &text) override { Log << QStringLiteral("error: ") + text; }
    TPromptAnswer Ask(const QString &text, TAskKind, bool) override
    {
        Log << QStringLiteral("ask: ") + text;
        if (Answers.empty())
            return TPromptAnswer::No;
        const TPromptAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

// Polish number formats for one test; the earlier ones come back after.
class TPolishFormats {
public:
    TPolishFormats() : m_saved(FormatSettings()) { FormatSettings() = TFormatSettings::Polish(); }
    ~TPolishFormats() { FormatSettings() = m_saved; }
    TPolishFormats(const TPolishFormats &) = delete;
    TPolishFormats &operator=(const TPolishFormats &) = delete;

private:
    TFormatSettings m_saved;
};
