// The editor windows of a whole program against the demo register: the
// real progress window, wait window and communication module over the
// demo register's line, in virtual time. Send, read back, send and delete
// the selected codes, totals, and the in-register view's read.
#include "data/UDM.h"
#include "data/ULocale.h"
#include "data/UErrors.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "editors/UOdczyt.h"
#include "app/UProgram.h"
#include "link/UVirtualClock.h"
#include "editors/UWyslanie.h"
#include "app_test_util.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The editable fields of a table, row by row, as shown.
QStringList Rows(TRxMemoryData &t, const QStringList &fields)
{
    QStringList rows;
    for (int r = 0; r < t.RecordCount(); ++r) {
        QStringList cells;
        for (const QString &f : fields)
            cells << t.FieldByName(f).DisplayTextAt(r);
        rows << cells.join(u'|');
    }
    return rows;
}

class EditorsOnDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        m_formats = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
        AppSettings() = TSettings();
        program = std::make_unique<TProgram>(ProgramEnvIn(dir.path(), 0x5151));
        ASSERT_TRUE(program->StartUp());
        program->Settings().Kasa = 5;
        program->DataModule().ApplyProfile(5, true, 0);
        program->CreateWindows();
        program->StartDemo(clock);
        const TWindows &w = program->Windows();
        w.FormOdczyt->OnExec = [this](TFormOdczyt &d) {
            d.findChild<QCheckBox *>(QStringLiteral("CBZLicznikami"))->setChecked(withCounters);
            return true;
        };
        w.FormWyslanie->OnExec = [](TFormWyslanie &) { return true; };
    }
    void TearDown() override
    {
        program->StopDemo();
        program.reset();
        AppSettings() = TSettings();
        FormatSettings() = m_formats;
    }
    TDM &dm() { return program->DataModule(); }
    const TWindows &w() { return program->Windows(); }
    QStringList Errors() const { return boxes.Log.filter(QStringLiteral("error: ")); }

    QTemporaryDir dir;
    TFakeMessages boxes;
    TScopedMessages scoped{&boxes};
    TVirtualClock clock;
    std::unique_ptr<TProgram> program;
    bool withCounters = true;
    TFormatSettings m_formats;
};

const QStringList GroupFields = {"Numer", "Nazwa", "VAT", "Cena", "RodzajSprz", "Limit"};
const QStringList CodeFields = {"Numer", "Nazwa", "Grupa", "Cena", "RodzajCeny"};
const QStringList DepositFields = {"Numer", "Cena"};

TEST_F(EditorsOnDemo, WhatIsSentComesBackEqual)
{
    struct Table {
        TTableForm *Form;
        TRxMemoryData *Data;
        QStringList Fields;
        QStringList NewRecord; // field, text, ...
    };
    const Table tables[] = {
        {w().FormGrupy, &dm().MDGrupy, GroupFields, {"Numer", "12", "Nazwa", "Ryby", "VAT", "C", "Cena", "3,5"}},
        {w().FormKody, &dm().MDKody, CodeFields,
         {"Numer", "5901234123457", "Nazwa", "Kefir 1l", "Grupa", "2", "Cena", "4,19", "RodzajCeny", "P"}},
        {w().FormKaucje, &dm().MDKaucje, DepositFields, {"Numer", "7", "Cena", "0,35"}},
    };
    for (const Table &t : tables) {
        SCOPED_TRACE(t.Form->objectName().toStdString());
        t.Form->Read();
        ASSERT_GT(t.Data->RecordCount(), 0) << boxes.Log.join(u'|').toStdString();
        t.Data->Append();
        for (int i = 0; i + 1 < t.NewRecord.size(); i += 2)
            t.Data->FieldByName(t.NewRecord[i]).SetText(t.NewRecord[i + 1]);
        t.Data->Post();
        QStringList expected = Rows(*t.Data, t.Fields);
        t.Form->Send();
        t.Data->EmptyTable();
        t.Form->Read();
        QStringList back = Rows(*t.Data, t.Fields);
        expected.sort();
        back.sort();
        EXPECT_EQ(back.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    }
    EXPECT_TRUE(Errors().isEmpty()) << boxes.Log.join(u'|').toStdString();
    // Each read with counters showed its totals.
    EXPECT_EQ(boxes.Log.filter(QStringLiteral("info: Łączna odczytana sprzedaż wynosi: \r\ndzienna: ")).size(), 2);
    EXPECT_EQ(boxes.Log.filter(QStringLiteral("info: Łączna wartość\r\nwydania: ")).size(), 2);
    for (const QString &file : {program->Settings().GrupyFile, program->Settings().KodyFile, program->Settings().KaucjeFile})
        EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
}

TEST_F(EditorsOnDemo, SelectedCodesAreSentOrDeletedInTheRegister)
{
    TTableForm *kody = w().FormKody;
    TRxMemoryData &t = dm().MDKody;
    kody->Read();
    ASSERT_GE(t.RecordCount(), 4) << boxes.Log.join(u'|').toStdString();
    TKvDBGrid *grid = kody->Grid();

    // Rename two codes, send only the first of them.
    for (int row : {0, 1}) {
        t.SetRecNo(row + 1);
        t.Edit();
        t.FieldByName("Nazwa").SetText(QStringLiteral("ZMIANA %1").arg(row));
        t.Post();
    }
    grid->selectionModel()->select(grid->Model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    kody->Action(QStringLiteral("MIWyslijZaznaczone"))->trigger();

    // Delete the third and fourth in the register.
    const QString third = t.FieldByName("Numer").DisplayTextAt(2);
    const QString fourth = t.FieldByName("Numer").DisplayTextAt(3);
    grid->clearSelection();
    for (int row : {2, 3})
        grid->selectionModel()->select(grid->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    kody->Action(QStringLiteral("MISkasujZaznaczone"))->trigger();
    const int before = t.RecordCount();

    withCounters = false;
    kody->Read();
    EXPECT_TRUE(Errors().isEmpty()) << boxes.Log.join(u'|').toStdString();
    EXPECT_EQ(t.RecordCount(), before - 2) << boxes.Log.join(u'|').toStdString();
    const QStringList numbers = Rows(t, {"Numer"});
    EXPECT_FALSE(numbers.contains(third));
    EXPECT_FALSE(numbers.contains(fourth));
    const QStringList names = Rows(t, {"Nazwa"});
    EXPECT_TRUE(names.contains(QStringLiteral("ZMIANA 0")));
    EXPECT_FALSE(names.contains(QStringLiteral("ZMIANA 1")));
    // A read without counters still tells the (zero) sale.
    EXPECT_TRUE(boxes.Log.last().startsWith(QStringLiteral("info: Łączna odczytana sprzedaż wynosi ")));
}

TEST_F(EditorsOnDemo, TheInRegisterViewsReadLeavesTheEditorAlone)
{
    TRxMemoryData &t = dm().MDKody;
    t.Append();
    t.FieldByName("Numer").SetText(QStringLiteral("4321"));
    t.FieldByName("Nazwa").SetText(QStringLiteral("Tylko w edytorze"));
    t.FieldByName("Grupa").SetText(QStringLiteral("1"));
    t.Post();
    dm().Modified = false;
    const QStringList editor = Rows(t, CodeFields);
    w().FormKodyWKasie->Action(QStringLiteral("MIOdczytaj"))->trigger();
    EXPECT_EQ(Rows(t, CodeFields), editor);
    EXPECT_FALSE(dm().Modified);
    EXPECT_GT(dm().MDKodyWKasie.RecordCount(), 0);
    EXPECT_EQ(w().FormKodyWKasie->Grid()->Model()->rowCount(), dm().MDKodyWKasie.RecordCount());
    // No totals from a view.
    EXPECT_TRUE(boxes.Log.isEmpty()) << boxes.Log.join(u'|').toStdString();
}

} // namespace

