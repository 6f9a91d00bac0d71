#include "editors/UEditorExtras.h"

#include "editors/UChartWindow.h"
#include "exchange/UCsvExport.h"
#include "editors/UCsvImportDialog.h"
#include "editors/UEditorForm.h"
#include "data/UErrors.h"
#include "data/URecentFolders.h"

#include <QAction>
#include <QFileDialog>
#include <QMenuBar>

namespace {

int SectionOf(const TTableForm &form)
{
    return int(form.FormSetup().Table);
}

void ImportCsv(TTableForm &form)
{
    TDM *dm = form.Env().DM;
    if (!dm || !form.EndPendingEdit())
        return;
    const QString file = QFileDialog::getOpenFileName(&form, QStringLiteral("Importuj z pliku CSV"),
                                                      AppRecentFolders().StartFolder(TFileKind::Csv),
                                                      QStringLiteral("Pliki CSV (*.csv *.txt);;Wszystkie pliki (*)"));
    if (file.isEmpty())
        return;
    AppRecentFolders().Remember(TFileKind::Csv, file);
    form.RunCommand([&] {
        TFormImportCsv dialog(*dm, SectionOf(form), file, &form);
        if (const int count = dialog.Execute(form.History()); count > 0)
            form.Commands()->ReportImport(count, file);
    });
}

void ExportCsv(TTableForm &form)
{
    if (!form.Grid()->Table())
        return;
    QString file = QFileDialog::getSaveFileName(&form, QStringLiteral("Eksportuj do pliku CSV"),
                                                AppRecentFolders().StartFolder(TFileKind::Csv),
                                                QStringLiteral("Pliki CSV (*.csv)"));
    if (file.isEmpty())
        return;
    AppRecentFolders().Remember(TFileKind::Csv, file);
    if (!file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        file += QStringLiteral(".csv");
    form.RunCommand([&] { ExportTableToCsv(form, file); });
}

} // namespace

QStringList GridFieldOrder(const TTableForm &form)
{
    const TRxMemoryData *table = form.Grid()->Table();
    if (!table)
        return {};
    QStringList fields;
    for (const QString &item : form.Grid()->ColumnsLayout().split(u',', Qt::SkipEmptyParts)) {
        const QString name = item.section(u':', 0, 0);
        if (table->FindField(name) && !fields.contains(name))
            fields << table->FindField(name)->Name();
    }
    return fields.isEmpty() ? CsvDefaultColumns(*table) : fields;
}

void ExportTableToCsv(TTableForm &form, const QString &fileName)
{
    form.EndPendingEdit();
    const TRxMemoryData *table = form.Grid()->Table();
    if (!table)
        throw Exception(QStringLiteral("Brak tabeli do eksportu."));
    form.Commands()->ExportCsv(*table, GridFieldOrder(form), fileName);
}

void ShowSalesChart(TTableForm &form)
{
    const TRxMemoryData *table = form.Grid()->Table();
    if (!table)
        return;
    const bool codes = form.FormSetup().Table == TExchangeTable::Kody;
    auto *window = form.findChild<TFormWykres *>(QStringLiteral("FormWykres"));
    if (!window) {
        std::vector<TFormWykres::TView> views;
        if (codes)
            views.push_back({QStringLiteral("20 kodów"), [table] { return TopCodesChart(*table); }});
        else
            views.push_back({QStringLiteral("Grupy"), [table] { return GroupsShareChart(*table); }});
        window = new TFormWykres(codes ? QStringLiteral("Najlepiej sprzedające się kody")
                                       : QStringLiteral("Udział grup w sprzedaży"),
                                 std::move(views), &form);
    }
    window->Refresh();
    window->show();
    window->raise();
    window->activateWindow();
}

void AddCsvAndChartItems(TTableForm &form, const TTableFormSetup &setup, QMenu *editMenu)
{
    auto add = [&](QMenu *menu, const QString &name, const QString &text, std::function<void()> run) {
        QAction *action = menu ? menu->addAction(text) : form.menuBar()->addAction(text);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, &form, std::move(run));
    };
    TTableForm *f = &form;
    if (editMenu) {
        editMenu->addSeparator();
        if (setup.Table != TExchangeTable::Kaucje)
            add(editMenu, QStringLiteral("MIImportCSV"), QStringLiteral("Importuj z pliku CSV..."), [f] { ImportCsv(*f); });
        add(editMenu, QStringLiteral("MIEksportCSV"), QStringLiteral("Eksportuj do pliku CSV..."), [f] { ExportCsv(*f); });
    } else {
        add(nullptr, QStringLiteral("MIEksportCSV"), QStringLiteral("&Eksportuj do pliku CSV..."), [f] { ExportCsv(*f); });
    }
    if (!setup.View && setup.Table != TExchangeTable::Kaucje) {
        QMenu *charts = form.menuBar()->addMenu(QStringLiteral("&Wykres"));
        charts->setObjectName(QStringLiteral("MIWykres"));
        add(charts, QStringLiteral("MIWykresSprzedazy"),
            setup.Table == TExchangeTable::Kody ? QStringLiteral("Najlepiej sprzedające się kody")
                                                : QStringLiteral("Udział grup w sprzedaży"),
            [f] { f->RunCommand([f] { ShowSalesChart(*f); }); });
    }
}
