#include "app/UMainCommands.h"

#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "app/UKonfig.h"
#include "exchange/UStatusTexts.h"
#include "data/UTemplates.h"
#include "app/UWait.h"

#include <QFileInfo>

TMainCommands::TMainCommands(TSettings &settings, TDM &dm, TKonfigLogic &konfig, IDataFiles &files,
                             IMainDialogs &dialogs, IWaitRunner &wait, IMessages *messages)
    : m_settings(settings), m_dm(dm), m_konfig(konfig), m_files(files), m_dialogs(dialogs), m_wait(wait),
      m_messages(messages)
{
}

TMainCommands::~TMainCommands() = default;

void TMainCommands::StartUp()
{
    if (m_settings.FirstRun) {
        m_dialogs.About();
        Messages().Information(FirstRunText);
        m_dialogs.Ustawienia();
        m_dialogs.Konfig();
    } else {
        m_konfig.ApplyKonfigToWindows();
    }
    ClearBeforeLoad = true;
    const bool loaded = LoadTemplate();
    CurrentFile.clear();
    ShowFile();
    if (loaded)
        m_dm.Modified = false;
}

bool TMainCommands::LoadTemplate()
{
    const QString path = FindTemplateFile(m_settings.ExeDir, m_dm.RegisterProfile.TemplateFile);
    CurrentFile = path;
    ShowFile();
    try {
        m_wait.Execute(ScanMessage, [&] { Sections = m_files.Scan(path); });
        m_wait.Execute(LoadMessage, [&] { m_files.Load(path, Sections, ClearBeforeLoad); });
    } catch (const EAbort &) {
        return false;
    }
    return true;
}

void TMainCommands::Load()
{
    // Asked before the open dialog, whose proposed name a save changes.
    if (!SaveBeforeReplacing())
        return;
    const std::optional<QString> file = m_dialogs.OpenDataFile(CurrentFile);
    if (!file)
        return;
    CurrentFile = *file;
    ShowFile();
    m_wait.Execute(ScanMessage, [&] { Sections = m_files.Scan(CurrentFile); });
    if (Sections.IsEmpty()) {
        Messages().Information(NoSectionsText);
        return;
    }
    bool clear = ClearBeforeLoad;
    const TSectionSet chosen = m_dialogs.WhatLoad(Sections, clear);
    Sections = chosen;
    ClearBeforeLoad = clear;
    // A load appends to what it does not empty first.
    int counts[3] = {};
    for (int s = 0; s < 3; ++s)
        if (Sections.Contains(s) && !ClearBeforeLoad)
            counts[s] = -m_dm.TableBySection(s)->RecordCount();
    m_wait.Execute(LoadMessage, [&] { m_files.Load(CurrentFile, Sections, ClearBeforeLoad); });
    for (int s = 0; s < 3; ++s)
        counts[s] += m_dm.TableBySection(s)->RecordCount();
    ReportStatus(m_status, QStringLiteral("Wczytano ") + SectionsText(counts));
}

bool TMainCommands::Save()
{
    Sections = m_dialogs.WhatSave(m_dm.RegisterProfile.DepositsTable);
    if (Sections.IsEmpty())
        return false;
    const std::optional<QString> file = m_dialogs.SaveDataFile(CurrentFile);
    if (!file)
        return false;
    CurrentFile = *file;
    ShowFile();
    m_wait.Execute(SaveMessage, [&] { m_files.Save(CurrentFile, Sections); });
    m_dm.Modified = false;
    int counts[3] = {};
    for (int s = 0; s < 3; ++s)
        counts[s] = m_dm.TableBySection(s)->RecordCount();
    ReportStatus(m_status, QStringLiteral("Zapisano ") + SectionsText(counts));
    return true;
}

void TMainCommands::SetStatus(IStatusReport *status)
{
    m_status = status;
    ShowFile();
}

QString TMainCommands::FileText() const
{
    return QStringLiteral("Plik: ") + (CurrentFile.isEmpty() ? QStringLiteral("nowy") : QFileInfo(CurrentFile).fileName());
}

void TMainCommands::ShowFile() const
{
    if (m_status)
        m_status->ShowFile(FileText());
}

QString TMainCommands::SectionsText(const int (&counts)[3]) const
{
    QStringList parts;
    for (int s = 0; s < 3; ++s)
        if (Sections.Contains(s))
            parts << RecordsText(s, counts[s]);
    return JoinCounts(parts);
}

void TMainCommands::Konfig()
{
    if (Messages().Ask(KonfigQuestion, TAskKind::Warning) != TPromptAnswer::Yes)
        return;
    if (!m_dialogs.Konfig())
        return;
    LoadTemplate();
}

bool TMainCommands::CloseQuery()
{
    return SaveChangesFirst(SaveOnExitQuestion);
}

bool TMainCommands::SaveBeforeReplacing()
{
    return SaveChangesFirst(SaveBeforeReplacingQuestion);
}

bool TMainCommands::SaveChangesFirst(const QString &question)
{
    if (!m_dm.Modified)
        return true;
    switch (Messages().Ask(question, TAskKind::Confirmation)) {
    case TPromptAnswer::Cancel:
        return false;
    case TPromptAnswer::No:
        return true;
    case TPromptAnswer::Yes:
        break;
    }
    try {
        return Save();
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
