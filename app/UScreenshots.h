#pragma once
// Developer aid: with a picture folder given, the program answers its own
// first-run dialogs, saves PNG pictures of its windows at fixed moments and
// ends after a job in the progress window.
#include "UMessages.h"

#include <QObject>
#include <QString>

class TProgram;
class QWidget;

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

    TProgram &m_program;
    QString m_folder;
};
