#pragma once
// What the main window's commands do, apart from the window: start-up,
// loading and saving data files, the configuration change and the question
// when closing. Dialogs, boxes, the wait window and the data files come in
// through interfaces, so tests drive the commands without windows.
#include "app/UMessages.h"
#include "app/USections.h"

#include <QString>
#include <optional>

struct TSettings;
class TDM;
class TKonfigLogic;
class IWaitRunner;

inline const QString FirstRunText = QStringLiteral(
    "To jest Twoje pierwsze uruchomienie programu. Za chwilę będziesz musiał podać dane dotyczące "
    "parametrów transmisji i konfiguracji kasy. Teraz naciśnij OK.");
inline const QString NoSectionsText = QStringLiteral("W tym pliku nie ma danych, które mógłbym wczytać.");
inline const QString KonfigQuestion =
    QStringLiteral("Zmiana konfiguracji. Wszystkie dane zostaną skasowane.\r\nCzy chcesz kontynuować ?");
inline const QString SaveOnExitQuestion = QStringLiteral("Czy przed wyjściem z programu chcesz zapisać dane ?");
inline const QString SaveBeforeReplacingQuestion = QStringLiteral(
    "Zmienione dane w edytorach nie zostały zapisane, a to polecenie je zastąpi.\r\nCzy chcesz je najpierw zapisać ?");
inline const QString ScanMessage = QStringLiteral("Sprawdzam zawartość pliku...");
inline const QString LoadMessage = QStringLiteral("Wczytuję dane...");
inline const QString SaveMessage = QStringLiteral("Zapisuję dane...");
inline const QString NoTempDirText =
    QStringLiteral("Nie mogę uzyskać nazwy katalogu tymczasowego (TEMP) lub jest ona zbyt długa");

// The data file operations.
class IDataFiles {
public:
    virtual ~IDataFiles() = default;
    virtual TSectionSet Scan(const QString &fileName) = 0;
    virtual void Load(const QString &fileName, const TSectionSet &sections, bool clearFirst) = 0;
    virtual void Save(const QString &fileName, const TSectionSet &sections) = 0;
};

// The dialogs the commands show.
class IMainDialogs {
public:
    virtual ~IMainDialogs() = default;
    // "Który plik mam wczytać ?" / "Jaki plik mam zapisać ?"; nullopt on cancel.
    virtual std::optional<QString> OpenDataFile(const QString &current) = 0;
    virtual std::optional<QString> SaveDataFile(const QString &current) = 0;
    // "Co wczytać ?": the ticked sections and the clear-first box as the
    // user left it; cancel raises the silent abort and leaves the flag.
    virtual TSectionSet WhatLoad(const TSectionSet &present, bool &clearBeforeLoad) = 0;
    // "Co zapisać ?": the ticked sections, empty on cancel.
    virtual TSectionSet WhatSave(bool depositsTable) = 0;
    // The configuration dialog, modal; true when confirmed.
    virtual bool Konfig() = 0;
    virtual void About() = 0;
    virtual void Ustawienia() = 0;
};

// The save question before a read or a load replaces the editor tables
// is this object's: the program gives it to the editors and reports.
class TMainCommands : public IUnsavedChanges {
public:
    TMainCommands(TSettings &settings, TDM &dm, TKonfigLogic &konfig, IDataFiles &files, IMainDialogs &dialogs,
                  IWaitRunner &wait, IMessages *messages = nullptr);
    ~TMainCommands() override;

    QString CurrentFile;
    TSectionSet Sections;
    bool ClearBeforeLoad = true;

    // The main window's first showing: the first-run flow or the stored
    // configuration, then the model's template.
    void StartUp();
    void Load();
    // The save command; true when the file was written.
    bool Save();
    void Konfig();
    // Closing the main window: true when it may close.
    bool CloseQuery();
    // Before editor tables are replaced (a load, a read from the register).
    bool SaveBeforeReplacing() override;
    // Scan and load of the model's template, without dialogs; true when
    // it loaded. Failures have been shown by the wait window.
    bool LoadTemplate();

    // The main window's status bar: what a load or save did, and the data
    // file ("Plik: dane.otx").
    void SetStatus(IStatusReport *status);
    QString FileText() const;

private:
    // With changes not saved: asks the question; Yes saves (true when the
    // file was written), No gives true, Cancel false.
    bool SaveChangesFirst(const QString &question);
    void ShowFile() const;
    // "8 grup, 120 kodów i 2 kaucje": the records of the sections.
    QString SectionsText(const int (&counts)[3]) const;

    TSettings &m_settings;
    TDM &m_dm;
    TKonfigLogic &m_konfig;
    IDataFiles &m_files;
    IMainDialogs &m_dialogs;
    IWaitRunner &m_wait;
    IMessages *m_messages;
    IStatusReport *m_status = nullptr;
    // The given boxes, or the program's as they are at the time of asking.
    IMessages &Messages() const { return m_messages ? *m_messages : AppMessages(); }
};
