#include "editors/UKody.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Kody;
    s.View = false;
    s.ObjectName = QStringLiteral("FormKody");
    s.Caption = QStringLiteral("Kody");
    s.GridName = QStringLiteral("GridKody");
    s.Columns = KodyColumns();
    s.AlwaysShowEditor = false;
    s.MultiSelect = true;
    return s;
}
} // namespace

TFormKody::TFormKody(QWidget *parent) : TTableForm(Setup(), parent) {}
