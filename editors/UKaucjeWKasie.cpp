#include "editors/UKaucjeWKasie.h"

#include "editors/UEditorColumns.h"

namespace {
TTableFormSetup Setup()
{
    TTableFormSetup s;
    s.Table = TExchangeTable::Kaucje;
    s.View = true;
    s.ObjectName = QStringLiteral("FormKaucjeWKasie");
    s.Caption = QStringLiteral("Kaucje w kasie");
    s.GridName = QStringLiteral("GridKaucjeWKasie");
    s.Columns = KaucjeColumns();
    s.AlwaysShowEditor = false;
    s.MultiSelect = false;
    return s;
}
} // namespace

TFormKaucjeWKasie::TFormKaucjeWKasie(QWidget *parent) : TTableForm(Setup(), parent) {}
