#pragma once
// Messages as the tests stand them in: every question gets the answer set
// beforehand, and everything said is logged as "info …", "error …", "ask …".
#include "UUiHooks.h"

#include <QStringList>

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
