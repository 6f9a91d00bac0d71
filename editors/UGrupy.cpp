#include "editors/UGrupy.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Grupy;
    s.View = false;
    s.ObjectName = QStringLiteral("FormGrupy");
    s.Caption = QStringLiteral("Grupy");
    s.GridName = QStringLiteral("GridGrupy");
    s.Columns = GrupyColumns();
    s.AlwaysShowEditor = true;
    s.MultiSelect = false;
    return s;
}
} // namespace

TFormGrupy::TFormGrupy(QWidget *parent) : TTableForm(Setup(), parent) {}
