#include "UEditorCommands.h"

TEditorCommands::TEditorCommands(TDM &dm, TExchangeTable table, IMessages &messages)
    : m_dm(dm), m_table(table), m_messages(messages)
{
}

QString TEditorCommands::Add() { return {}; }
void TEditorCommands::Insert() {}
void TEditorCommands::Delete(const TDBGridRef &) {}
bool TEditorCommands::DeleteAll() { return false; }
void TEditorCommands::Check() {}
void TEditorCommands::EndPendingEdit() {}
QStringList TEditorCommands::VatChoices() const { return {}; }

TRxMemoryData &TEditorCommands::Table() const
{
    switch (m_table) {
    case TExchangeTable::Grupy: return m_dm.MDGrupy;
    case TExchangeTable::Kody: return m_dm.MDKody;
    default: return m_dm.MDKaucje;
    }
}
