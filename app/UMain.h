#pragma once
// The main window: a two-row tool bar from which every other window is
// opened; its commands are in TMainCommands.
#include "app/UKonfig.h"
#include "app/UMainCommands.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class QToolButton;

// Why the save dialog must ask again for a data file name (a device or a
// pipe, a folder that does not exist, a read-only file); empty when it can.
QString SaveDialogProblem(const QString &file);
class TFormOdczyt;
class TFormUstawienia;
class TFormWait;
class TFormWhatSave;
class TFormWhatLoad;
class TFormWyslanie;
class TFormKonfig;
class TFormRaporty;
class TFormOSH;
class TFormPowtNazwy;
class TFormPF;

// The windows the main window opens; created once by the program.
struct TWindows {
    TFormKody *FormKody = nullptr;
    TFormGrupy *FormGrupy = nullptr;
    TFormKaucje *FormKaucje = nullptr;
    TFormOdczyt *FormOdczyt = nullptr;
    TFormUstawienia *FormUstawienia = nullptr;
    TFormWait *FormWait = nullptr;
    TFormWhatSave *FormWhatSave = nullptr;
    TFormWhatLoad *FormWhatLoad = nullptr;
    TFormWyslanie *FormWyslanie = nullptr;
    TFormKonfig *FormKonfig = nullptr;
    TFormRaporty *FormRaporty = nullptr;
    TFormOSH *FormOSH = nullptr;
    TFormPowtNazwy *FormPowtNazwy = nullptr;
    TFormKodyWKasie *FormKodyWKasie = nullptr;
    TFormGrupyWKasie *FormGrupyWKasie = nullptr;
    TFormKaucjeWKasie *FormKaucjeWKasie = nullptr;
    TFormPF *FormPF = nullptr;
};

class TFormMain : public QMainWindow, public IKonfigTarget, public IMainDialogs, public IStatusReport {
    Q_OBJECT
public:
    TFormMain(TSettings &settings, TDM &dm, QWidget *parent = nullptr);
    ~TFormMain() override;

    // After the other windows exist: the commands get their dialogs.
    void Attach(const TWindows &windows, IDataFiles &files);

    TMainCommands *Commands() { return m_commands.get(); }
    TKonfigLogic &KonfigLogic() { return m_konfig; }
    QToolButton *Button(const QString &name) const;
    // Runs after the start-up work of the first showing.
    std::function<void()> OnStartedUp;
    // Runs when the close is confirmed, before the event loop ends.
    std::function<void()> OnClosing;

    // IKonfigTarget
    void SetDepositsButtonEnabled(bool enabled) override;
    void SetReportsDepositsItem(bool kaucje) override;
    void HideDepositsWindows() override;

    // IMainDialogs
    std::optional<QString> OpenDataFile(const QString &current) override;
    std::optional<QString> SaveDataFile(const QString &current) override;
    TSectionSet WhatLoad(const TSectionSet &present, bool &clearBeforeLoad) override;
    TSectionSet WhatSave(bool depositsTable) override;
    bool Konfig() override;
    void About() override;
    void Ustawienia() override;

    // IStatusReport: the status bar's command text and data file.
    void ShowStatus(const QString &text) override;
    void ShowFile(const QString &text) override;
    // "Kasa demonstracyjna" in the status bar while the demo register runs.
    void SetDemo(bool demo);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QToolButton *AddButton(class QToolBar *bar, const QString &name, const QString &caption, const QString &icon);
    void ShowModeless(QWidget *window);
    void FirstShow();

    TSettings &m_settings;
    TDM &m_dm;
    TKonfigLogic m_konfig;
    TWindows m_windows;
    std::unique_ptr<TMainCommands> m_commands;
    QLabel *m_status = nullptr;
    QLabel *m_file = nullptr;
    QLabel *m_demo = nullptr;
    bool m_shown = false;
};
