#include "editors/UKaucje.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Kaucje;
    s.View = false;
    s.ObjectName = QStringLiteral("FormKaucje");
    s.Caption = QStringLiteral("Kaucje");
    s.GridName = QStringLiteral("GridKaucje");
    s.Columns = KaucjeColumns();
    s.AlwaysShowEditor = true;
    s.MultiSelect = false;
    return s;
}
} // namespace

TFormKaucje::TFormKaucje(QWidget *parent) : TTableForm(Setup(), parent) {}
