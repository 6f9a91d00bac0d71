#include "editors/UEditorColumns.h"

namespace {
TGridColumn Col(const char *field, bool readOnly = false, QStringList pick = {}, int width = 0)
{
    TGridColumn c;
    c.FieldName = QString::fromLatin1(field);
    c.ReadOnly = readOnly;
    c.PickList = std::move(pick);
    c.Width = width;
    return c;
}
} // namespace

QList<TGridColumn> GrupyColumns()
{
    // The VAT list is filled when the window is activated (the profile's letters).
    return {Col("Numer"),
            Col("Nazwa"),
            Col("VAT", false, {}, 40),
            Col("Cena"),
            Col("RodzajSprz", false, {QStringLiteral("Normalna"), QStringLiteral("Natychmiast.")}),
            Col("Limit"),
            Col("LDW", true),
            Col("LDI", true),
            Col("LOW", true),
            Col("LOI", true)};
}

QList<TGridColumn> KodyColumns()
{
    return {Col("Numer"),
            Col("Nazwa"),
            Col("Grupa"),
            Col("Cena"),
            Col("RodzajCeny", false, {QStringLiteral("Program."), QStringLiteral("Wprowadz.")}),
            Col("LDW", true),
            Col("LDI", true)};
}

QList<TGridColumn> KaucjeColumns()
{
    return {Col("Numer"), Col("Cena"), Col("LDWw", true), Col("LDIw", true), Col("LDWz", true), Col("LDIz", true)};
}
