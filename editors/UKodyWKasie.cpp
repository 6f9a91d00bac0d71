#include "editors/UKodyWKasie.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Kody;
    s.View = true;
    s.ObjectName = QStringLiteral("FormKodyWKasie");
    s.Caption = QStringLiteral("Kody w kasie");
    s.GridName = QStringLiteral("GridKodyWKasie");
    s.Columns = KodyColumns();
    s.AlwaysShowEditor = false;
    s.MultiSelect = false;
    return s;
}
} // namespace

TFormKodyWKasie::TFormKodyWKasie(QWidget *parent) : TTableForm(Setup(), parent) {}
