// The chart window draws what the chart data hold; the CSV items are in
// the editors' menus, export follows the grid's column order, and the
// import dialog shows the preview and puts in only the fine rows.
#include "UChartWindow.h"
#include "UCsvImportDialog.h"
#include "UEditorExtras.h"
#include "UGrupy.h"
#include "UKody.h"
#include "UKodyWKasie.h"

#include "editors_test_support.h"
#include "pipe_guard.h"

#include <QAction>
#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QTableView>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPercentBarSeries>
#include <QSettings>
#include <QStackedBarSeries>
#include <QStatusBar>
#include <memory>

namespace {

class ChartCsvWindows : public EditorWindowTest {
protected:
    void SetUp() override
    {
        EditorWindowTest::SetUp();
        // The remembered import choices go to a settings file of the test's own.
        m_org = QCoreApplication::organizationName();
        m_app = QCoreApplication::applicationName();
        QCoreApplication::setOrganizationName(QStringLiteral("orvan-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("csv-import-choices"));
        QSettings().clear();
    }
    void TearDown() override
    {
        QSettings().clear();
        QCoreApplication::setOrganizationName(m_org);
        QCoreApplication::setApplicationName(m_app);
        EditorWindowTest::TearDown();
    }
    QString m_org, m_app;
    QString Write(const char *name, const QByteArray &bytes)
    {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
};

TEST_F(ChartCsvWindows, TheChartHoldsTheSetsCategoriesAndViewsOfItsData)
{
    TChartData stacked;
    stacked.Kind = TChartKind::StackedBars;
    stacked.Title = QStringLiteral("Należność dzienna");
    stacked.Categories = {QStringLiteral("01.12.2026"), QStringLiteral("02.12.2026")};
    stacked.Sets = {{QStringLiteral("PTU zł"), {2, 3}, 0, true}, {QStringLiteral("Należność bez PTU zł"), {8, 9}, 0, false}};
    TChartData share;
    share.Kind = TChartKind::PercentBars;
    share.Categories = {QStringLiteral("Sprzedaż dzienna")};
    share.Sets = {{QStringLiteral("1. Pieczywo"), {5}, 0, false}};
    TFormWykres w(QStringLiteral("Wykres"), {{QStringLiteral("Dziennie"), [&] { return stacked; }},
                                            {QStringLiteral("Udział"), [&] { return share; }}});
    w.show();
    auto *series = qobject_cast<QStackedBarSeries *>(w.Chart()->series().value(0));
    ASSERT_NE(series, nullptr);
    ASSERT_EQ(series->count(), 2);
    EXPECT_EQ(series->barSets().at(1)->label(), QStringLiteral("Należność bez PTU zł"));
    EXPECT_EQ(series->barSets().at(1)->at(1), 9);
    EXPECT_NE(series->barSets().at(0)->color(), series->barSets().at(1)->color());
    auto *axis = qobject_cast<QBarCategoryAxis *>(w.Chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->categories(), stacked.Categories);
    auto *values = qobject_cast<QCategoryAxis *>(w.Chart()->axes(Qt::Vertical).value(0));
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->categoriesLabels(), ChartValueAxis(stacked).Labels);
    EXPECT_EQ(w.Chart()->title(), QStringLiteral("Należność dzienna"));

    w.SetCurrentView(1);
    EXPECT_NE(qobject_cast<QPercentBarSeries *>(w.Chart()->series().value(0)), nullptr);
    const QString png = folder.filePath(QStringLiteral("wykres.png"));
    EXPECT_TRUE(w.SavePng(png, true));
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8).startsWith("\x89PNG"));
    // A pipe in the picture's place is refused and stays a pipe.
    const QString pipe = folder.filePath(QStringLiteral("potok.png"));
    const TPipeGuard guard(pipe.toStdString());
    ASSERT_TRUE(guard.Ok());
    EXPECT_FALSE(w.SavePng(pipe, true));
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    stacked = TChartData();
    w.SetCurrentView(0);
    EXPECT_TRUE(w.Chart()->series().isEmpty());
    EXPECT_TRUE(w.Chart()->title().endsWith(QStringLiteral("(brak danych)")));
}

TEST_F(ChartCsvWindows, CsvAndChartItemsAreInTheEditorsAndViews)
{
    TFormKody kody;
    kody.Attach(env);
    TFormGrupy grupy;
    grupy.Attach(env);
    TFormKodyWKasie view;
    view.Attach(env);
    for (TTableForm *w : std::initializer_list<TTableForm *>{&kody, &grupy})
        for (const char *name : {"MIImportCSV", "MIEksportCSV", "MIWykresSprzedazy"})
            EXPECT_NE(w->Action(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(kody.Action("MIImportCSV")->text(), QStringLiteral("Importuj z pliku CSV..."));
    EXPECT_EQ(kody.Action("MIWykresSprzedazy")->text(), QStringLiteral("Najlepiej sprzedające się kody"));
    EXPECT_NE(view.Action("MIEksportCSV"), nullptr);
    EXPECT_EQ(view.Action("MIImportCSV"), nullptr);

    AddRow(dm.MDKody, {"Numer", "5", "Nazwa", "Chleb", "Grupa", "2", "Cena", "2,5"});
    kody.Grid()->SetColumnsLayout(QStringLiteral("Nazwa:120,Numer:90,Cena:60"));
    const QString out = folder.filePath(QStringLiteral("kody.csv"));
    ExportTableToCsv(kody, out);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("\xEF\xBB\xBFNazwa;Numer;Cena;"));
    // The editor's status bar says what the export did.
    EXPECT_EQ(kody.statusBar()->currentMessage(), QStringLiteral("Wyeksportowano 1 kod do pliku kody.csv"));
}

TEST_F(ChartCsvWindows, ImportDialogPreviewsAndPutsInTheFineRowsOnly)
{
    AddRow(dm.MDKody, {"Numer", "9", "Nazwa", "Stary", "Grupa", "1"});
    dm.Modified = false;
    const QString file = Write("lista.csv", QStringLiteral("Numer;Nazwa;Cena\n5;Chleb;2,50\nx;Zły;1\n").toUtf8());
    {
        TFormImportCsv dialog(dm, 1, file);
        EXPECT_EQ(dialog.findChild<QComboBox *>("CBSeparator")->currentIndex(), 0);
        EXPECT_TRUE(dialog.findChild<QCheckBox *>("CBNaglowek")->isChecked());
        EXPECT_EQ(dialog.ColumnBox("Nazwa")->currentIndex(), 2);
        EXPECT_EQ(dialog.findChild<QTableView *>("GridPodglad")->model()->rowCount(), 2);
        EXPECT_EQ(dialog.findChild<QTableView *>("GridPodglad")->model()->index(1, 1).data().toString(),
                  QStringLiteral("\"x\" nie jest prawidłowym numerem kodu."));
        // A fixed group for every row.
        dialog.ColumnBox("Grupa")->setCurrentIndex(dialog.ColumnBox("Grupa")->count() - 1);
        dialog.FixedEdit("Grupa")->setText(QStringLiteral("4"));
        dialog.findChild<QRadioButton *>("RBUzupelnij")->setChecked(true);
        dialog.findChild<QCheckBox *>("CBZamieniaj")->setChecked(true);
        dialog.OnExec = [](TFormImportCsv &) { return true; };
        EXPECT_EQ(dialog.Execute(), 1);
    }
    EXPECT_TRUE(dm.Modified);
    ASSERT_EQ(dm.MDKody.RecordCount(), 2);
    EXPECT_EQ(dm.MDKody.FieldByName("Grupa").TextAt(1), QStringLiteral("4"));
    // The choices come back with the next file.
    TFormImportCsv again(dm, 1, Write("bez.csv", QByteArray("7;Woda;1,20\n")));
    EXPECT_EQ(again.Import().Columns().at("Grupa").Fixed, QStringLiteral("4"));
    EXPECT_EQ(again.Import().FineCount(), 1);
    EXPECT_TRUE(again.findChild<QRadioButton *>("RBUzupelnij")->isChecked());
    EXPECT_TRUE(again.findChild<QCheckBox *>("CBZamieniaj")->isChecked());
    EXPECT_TRUE(again.Import().ReplaceLetters());

    EXPECT_THROW(TFormImportCsv(dm, 1, folder.filePath(QStringLiteral("brak.csv"))), Exception);
}

TEST_F(ChartCsvWindows, ImportPreviewShowsARefusalsWholeMessageWhereThereIsRoom)
{
    const QString file = Write("krotki.csv", QStringLiteral("Numer;Nazwa;Grupa;Cena\n5;Chleb;1;2,50\n6;Mleko\n").toUtf8());
    TFormImportCsv dialog(dm, 1, file);
    dialog.resize(1200, 560);
    dialog.show();
    QCoreApplication::processEvents();
    auto *grid = dialog.findChild<QTableView *>("GridPodglad");
    const QString message = grid->model()->index(1, 1).data().toString();
    ASSERT_TRUE(message.startsWith(QStringLiteral("Wiersz ma za mało kolumn"))) << message.toStdString();
    // Longer than any other column may start.
    ASSERT_GT(grid->fontMetrics().horizontalAdvance(message), grid->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24);
    EXPECT_GE(grid->columnWidth(1), grid->fontMetrics().horizontalAdvance(message));
    EXPECT_EQ(grid->model()->index(1, 1).data(Qt::ToolTipRole).toString(), message);
}

} // namespace
