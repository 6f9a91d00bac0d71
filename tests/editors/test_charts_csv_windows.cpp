// The chart window draws what the chart data hold; the CSV items are in
// the editors' menus, export follows the grid's column order, and the
// import dialog shows the preview and puts in only the fine rows.
#include "editors/UChartWindow.h"
#include "editors/UCsvImportDialog.h"
#include "editors/UEditorExtras.h"
#include "editors/UGrupy.h"
#include "editors/UKody.h"

#include "editors_test_support.h"
#include "pipe_guard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QTableView>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSettings>
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
    TChartPicture p = w.Chart()->Picture();
    EXPECT_EQ(p.Title.Text, QStringLiteral("Należność dzienna"));
    ASSERT_EQ(p.Bars.size(), 4u);
    auto bar = [&](int set, int category) {
        const auto it = std::find_if(p.Bars.begin(), p.Bars.end(),
                                     [&](const TChartBar &b) { return b.Set == set && b.Category == category; });
        return it == p.Bars.end() ? TChartBar() : *it;
    };
    EXPECT_EQ(bar(1, 1).Value, 9);
    // The rest of the total stands on the tax, the whole bar as tall as its sum.
    EXPECT_DOUBLE_EQ(bar(1, 1).Rect.bottom(), bar(0, 1).Rect.top());
    EXPECT_NEAR(bar(0, 1).Rect.bottom() - bar(1, 1).Rect.top(), (bar(0, 0).Rect.bottom() - bar(1, 0).Rect.top()) * 12 / 10, 1.0);
    EXPECT_NE(bar(0, 1).Color, bar(1, 1).Color);
    QStringList legend, labels, ticks;
    for (const TChartLegendEntry &e : p.Legend)
        legend << e.Label;
    for (const TChartText &t : p.CategoryLabels)
        labels << t.Text;
    for (const TChartText &t : p.Ticks)
        ticks << t.Text;
    EXPECT_EQ(legend, (QStringList{QStringLiteral("PTU zł"), QStringLiteral("Należność bez PTU zł")}));
    EXPECT_EQ(labels, stacked.Categories);
    EXPECT_EQ(ticks, ChartValueAxis(stacked).Labels);

    w.SetCurrentView(1);
    p = w.Chart()->Picture();
    ASSERT_EQ(p.Bars.size(), 1u);
    EXPECT_EQ(p.Bars[0].Share, 100);
    EXPECT_DOUBLE_EQ(p.Bars[0].Rect.top(), p.Plot.top());
    ASSERT_EQ(p.BarLabels.size(), 1u);
    EXPECT_EQ(p.BarLabels[0].Text, QStringLiteral("100,0%"));
    const QString png = folder.filePath(QStringLiteral("wykres.png"));
    EXPECT_TRUE(w.SavePng(png, true));
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8).startsWith("\x89PNG"));
    // A pipe in the picture's place is refused and stays a pipe. Windows
    // has no pipe in a folder, but a device's name is one in any folder.
#ifdef _WIN32
    const QString pipe = folder.filePath(QStringLiteral("COM1.png"));
#else
    const QString pipe = folder.filePath(QStringLiteral("potok.png"));
    const TPipeGuard guard(pipe.toStdString());
    ASSERT_TRUE(guard.Ok());
#endif
    EXPECT_FALSE(w.SavePng(pipe, true));
    EXPECT_FALSE(QFileInfo(pipe).isFile());

    stacked = TChartData();
    w.SetCurrentView(0);
    p = w.Chart()->Picture();
    EXPECT_TRUE(p.Bars.empty());
    EXPECT_TRUE(p.Ticks.empty());
    EXPECT_TRUE(p.Title.Text.endsWith(QStringLiteral("(brak danych)")));
}

TEST_F(ChartCsvWindows, ChartLabelsNeverOverlapAndEveryPartStaysInTheWidget)
{
    const struct {
        int Count;
        const char *Label;
        QSize Size;
        bool Upright;
        bool Thinned;
    } cases[] = {
        {3, "sty %1", {900, 560}, false, false},
        {20, "Bardzo długa nazwa %1", {900, 560}, true, false},
        {365, "%1.12.2026", {1000, 560}, true, true},
        {20, "Chleb %1", {320, 220}, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        TChartData data;
        data.Kind = TChartKind::Bars;
        data.Title = QStringLiteral("Tytuł");
        data.XTitle = QStringLiteral("Kod");
        data.YTitle = QStringLiteral("Wartość sprzedaży [zł]");
        data.Sets = {{QStringLiteral("Dzienna"), {}, 0, false}, {QStringLiteral("Okresowa"), {}, 1, false}};
        for (int i = 0; i < c.Count; ++i) {
            data.Categories << QString::fromUtf8(c.Label).arg(i + 1);
            data.Sets[0].Values.push_back(i * 1000.5);
            data.Sets[1].Values.push_back(-i);
        }
        const TChartPicture p = LayoutChart(data, c.Size, TestApp().font());
        const QRectF widget(QPointF(0, 0), QSizeF(c.Size));
        auto inside = [](const QRectF &outer, const QRectF &r) { // also a bar of height 0
            return r.left() >= outer.left() - 0.01 && r.right() <= outer.right() + 0.01 &&
                   r.top() >= outer.top() - 0.01 && r.bottom() <= outer.bottom() + 0.01;
        };
        ASSERT_EQ(p.Bars.size(), size_t(2 * c.Count));
        for (const TChartBar &b : p.Bars)
            EXPECT_TRUE(inside(p.Plot, b.Rect)) << b.Set << ' ' << b.Category;
        EXPECT_EQ(p.CategoryStep > 1, c.Thinned);
        EXPECT_EQ(p.CategoryLabels.size(), size_t((c.Count + p.CategoryStep - 1) / p.CategoryStep));
        std::vector<QRectF> taken{p.Title.Rect, p.XTitle.Rect, p.YTitle.Rect};
        for (const auto *texts : {&p.CategoryLabels, &p.Ticks})
            for (const TChartText &t : *texts) {
                EXPECT_EQ(t.Upright, texts == &p.CategoryLabels && c.Upright);
                taken.push_back(t.Rect);
            }
        for (const TChartLegendEntry &e : p.Legend)
            taken.insert(taken.end(), {e.Swatch, e.Text});
        ASSERT_EQ(p.Legend.size(), 2u);
        EXPECT_EQ(p.Legend[1].Label, QStringLiteral("Okresowa"));
        for (size_t i = 0; i < taken.size(); ++i) {
            EXPECT_TRUE(inside(widget, taken[i])) << i;
            for (size_t j = i + 1; j < taken.size(); ++j)
                EXPECT_FALSE(taken[i].intersects(taken[j])) << i << ' ' << j;
        }
    }
    // Ninety-nine groups: the legend keeps to a third of the height and counts the rest.
    TChartData many;
    many.Kind = TChartKind::PercentBars;
    many.Categories = {QStringLiteral("Sprzedaż dzienna")};
    for (int i = 0; i < 99; ++i)
        many.Sets.push_back({QStringLiteral("%1. WARZYWA I OWOCE").arg(i + 1), {1.0}, i, false});
    const TChartPicture p = LayoutChart(many, QSizeF(900, 560), TestApp().font());
    ASSERT_GT(p.LegendHidden, 0);
    EXPECT_EQ(p.Legend.size(), size_t(100 - p.LegendHidden));
    EXPECT_EQ(p.Legend.back().Label, QStringLiteral("… i jeszcze %1").arg(p.LegendHidden));
    EXPECT_GE(p.Legend.front().Text.top(), 560 * 2 / 3.0 - 20);
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
