#pragma once
// Developer aid: with a picture folder given, the program answers its own
// first-run dialogs, saves PNG pictures of its windows at fixed moments and
// ends after a job in the progress window.
#include "app/UMessages.h"

#include <QObject>
#include <QString>

class TProgram;
class TFormOSH;
class QWidget;

// The demo's read job into an exchange file of the temporary folder; the
// file is deleted afterwards, as every exchange deletes its own. False
// when the job did not succeed.
bool RunDemoRead(TFormOSH &osh, const QString &exchangeFile);

class TScreenshotDriver : public QObject, public IMessages {
    Q_OBJECT
public:
    TScreenshotDriver(TProgram &program, const QString &folder);

    // Saves the window as <folder>/<name>.png.
    void Shoot(QWidget *window, const QString &name);

    // IMessages: boxes are logged and answered "No".
    void Information(const QString &text) override;
    void Error(const QString &text) override;
    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Shown(QWidget *window);
    void RunJob();
    // The reports window, the fiscal memory read from the demo register and
    // the first page of its printed report.
    void ShootReports();
    // Each editor and the codes' in-register view after a read from the demo register.
    void ShootEditors();
    // The progress window with its bar during a send of many codes.
    void ShootSend();
    static constexpr int SendCodes = 300;

    TProgram &m_program;
    QString m_folder;
};
