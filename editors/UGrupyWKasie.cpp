#include "editors/UGrupyWKasie.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Grupy;
    s.View = true;
    s.ObjectName = QStringLiteral("FormGrupyWKasie");
    s.Caption = QStringLiteral("Grupy w kasie");
    s.GridName = QStringLiteral("GridGrupyWKasie");
    s.Columns = GrupyColumns();
    s.AlwaysShowEditor = false;
    s.MultiSelect = false;
    return s;
}
} // namespace

TFormGrupyWKasie::TFormGrupyWKasie(QWidget *parent) : TTableForm(Setup(), parent) {}
