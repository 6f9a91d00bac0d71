// The exchange-file lines: what each table writes for sending and how the
// module's read-back lines are taken apart, on both key layouts.
#include "exchange_test_support.h"

#include "data/UCodePage.h"
#include "link/UNational.h"
#include "data/URegisterText.h"

namespace {

class ExchangeLines : public ExchangeTest {};

struct SendCase {
    const char *what;
    int kasa;
    std::function<void(TDM &)> fill;
    TExchangeTable table;
    const char *line;
};

TEST_F(ExchangeLines, RecordToLineWritesTheRegistersLayout)
{
    const SendCase cases[] = {
        {"group 5, VAT B, limit 8, normal, 2,50", 5,
         [](TDM &d) { AddGroup(d, 5, QStringLiteral("Pieczywo"), "B", "2,50", "Normalna", 8); }, TExchangeTable::Grupy,
         " 5,02, 8,00,     2.50,Pieczywo        ,"},
        {"group VAT '-' immediate sale: code 40, flags 07", 1,
         [](TDM &d) {
             d.ApplyProfile(0, true, 0);
             AddGroup(d, 10, QStringLiteral("Zwrot"), "-", "0", "Natychmiast.", 0);
         },
         TExchangeTable::Grupy, "10,40, 0,07,     0.00,Zwrot           ,"},
        {"group VAT '+': flags 01; F gives 20; top price", 5,
         [](TDM &d) {
             d.ApplyProfile(0, true, 0);
             AddGroup(d, 9, QStringLiteral("Wydanie"), "+", "999999,99");
         },
         TExchangeTable::Grupy, " 9,40, 8,01,999999.99,Wydanie         ,"},
        {"group VAT F and G", 5, [](TDM &d) { AddGroup(d, 30, QStringLiteral("1234567890123456"), "F", "0,05"); },
         TExchangeTable::Grupy, "30,20, 8,00,     0.05,1234567890123456,"},
        {"code EAN-13 on the ER-A277PS Plus", 5,
         [](TDM &d) { AddCode(d, "5901234123457", QStringLiteral("Mleko"), 12, "3,10", "Wprowadz."); },
         TExchangeTable::Kody, "15901234123457,12,01,     3.10,Mleko           ,"},
        {"short code on the ER-A277PS Plus keeps 14 digits", 5,
         [](TDM &d) { AddCode(d, "41", QStringLiteral("Bułka")); }, TExchangeTable::Kody,
         "00000000000041, 1,00,     2.50,Bułka           ,"},
        {"short code on the ER-A275P: four digits", 1, [](TDM &d) { AddCode(d, "41", QStringLiteral("Bułka")); },
         TExchangeTable::Kody, "0041, 1,00,     2.50,Bułka           ,"},
        {"deposit on the ER-A277PS Plus", 5, [](TDM &d) { AddDeposit(d, 1, "0,50"); }, TExchangeTable::Kaucje,
         " 1,     0.50,"},
        {"deposit on the ER-A277P: four digits", 3, [](TDM &d) { AddDeposit(d, 12, "1234,5"); },
         TExchangeTable::Kaucje, "  12,  1234.50,"},
    };
    for (const SendCase &c : cases) {
        SCOPED_TRACE(c.what);
        TDM d;
        d.ApplyProfile(c.kasa, true, 1);
        c.fill(d);
        TExchange x(d, c.table, FileOf(c.table), jobs, wait, messages, dialogs);
        TRxMemoryData &t = x.EditorTable();
        t.Last();
        EXPECT_EQ(x.Lines().RecordToLine(t), QString::fromUtf8(c.line));
    }
}

TEST_F(ExchangeLines, DeleteLineAndLongCodesOnFourDigitModels)
{
    AddCode(dm, "5901234123457", QStringLiteral("Mleko"));
    auto x = Exchange(TExchangeTable::Kody);
    EXPECT_EQ(x->Lines().DeleteLine(dm.MDKody), "15901234123457,00,00,");
    dm.ApplyProfile(3, true, 0);
    EXPECT_EQ(MessageOf([&] { x->Lines().DeleteLine(dm.MDKody); }),
              "Kod \"5901234123457\" nie może być wysłany do kasy ER-A277P: ta kasa przyjmuje tylko numery kodów od 0 do 9999.");
    const TCheckOutcome outcome = dm.CheckKody(CurrentRecord);
    EXPECT_EQ(outcome.Result, CheckResult::Error);
    EXPECT_EQ(outcome.Message.toStdString(),
              "Kod \"5901234123457\" nie może być wysłany do kasy ER-A277P: ta kasa przyjmuje tylko numery kodów od 0 do 9999.");
    dm.ApplyProfile(4, true, 0);
    EXPECT_EQ(dm.CheckKody(CurrentRecord).Result, CheckResult::Normal);
}

struct ReadCase {
    const char *what;
    int kasa;
    bool pointLocale;
    TExchangeTable table;
    const char *line;
    QStringList fields;
    QStringList expected; // texts of the fields
};

TEST_F(ExchangeLines, LineToRecordTakesTheColumnsApart)
{
    const QString g39 = QStringLiteral(" 5,40, 3,05,    12.34,Sok jabłkowy    ,");
    const QStringList groupFields{"Numer", "Nazwa", "VAT", "Cena", "RodzajSprz", "Limit", "LDW", "LDI", "LOW", "LOI"};
    const ReadCase cases[] = {
        {"group 0x40 under a Z profile, flags 5", 1, false, TExchangeTable::Grupy, nullptr, groupFields,
         {"5", "Sok jabłkowy", "+", "12,34", "1", "3", "0", "0", "0", "0"}},
        {"group, bits 40, flags 0 under the ER-A277PS Plus: G", 5, false, TExchangeTable::Grupy,
         " 7,40, 8,00,     0.00,                ,", groupFields,
         {"7", "", "G", "0", "0", "8", "0", "0", "0", "0"}},
        {"group, bits 40 under the ER-A275P: Z; flags 3: '-'", 1, false, TExchangeTable::Grupy,
         "10,40, 8,03,     0.00,Zwrot           ,", groupFields,
         {"10", "Zwrot", "-", "0", "0", "8", "0", "0", "0", "0"}},
        {"group, unknown bits give '?'", 5, false, TExchangeTable::Grupy, " 1,03, 8,00,     1.00,A               ,",
         groupFields, {"1", "A", "?", "1", "0", "8", "0", "0", "0", "0"}},
        {"group with counters", 5, false, TExchangeTable::Grupy,
         " 2,01, 8,00,     1.00,Chleb           ,       125.50,   50.200,     -1250.75,  500.300,", groupFields,
         {"2", "Chleb", "A", "1", "0", "8", "125,5", "50,2", "-1250,75", "500,3"}},
        {"group under a point-decimal locale", 5, true, TExchangeTable::Grupy, " 3,04, 8,00,     2.50,X               ,",
         groupFields, {"3", "X", "C", "2.5", "0", "8", "0", "0", "0", "0"}},
        {"code with counters, odd kind", 5, false, TExchangeTable::Kody,
         "15901234123457,12,01,     3.10,Mleko           ,        12.40,    4.000,",
         {"Numer", "Nazwa", "Grupa", "Cena", "RodzajCeny", "LDW", "LDI"},
         {"15901234123457", "Mleko", "12", "3,1", "1", "12,4", "4"}},
        {"code without counters, blanks in the number", 5, false, TExchangeTable::Kody,
         "            41, 1,00,     2.50,Bułka           ,", {"Numer", "Nazwa", "Grupa", "Cena", "RodzajCeny", "LDW"},
         {"00000000000041", "Bułka", "1", "2,5", "0", "0"}},
        {"code on the ER-A275P: four-digit key", 1, false, TExchangeTable::Kody,
         "  41, 1,01,     2.50,Bułka           ,         5.00,    2.000,",
         {"Numer", "Nazwa", "Grupa", "Cena", "RodzajCeny", "LDW", "LDI"},
         {"00000000000041", "Bułka", "1", "2,5", "1", "5", "2"}},
        {"deposit without counters: exactly 13 characters", 5, false, TExchangeTable::Kaucje, " 1,     0.50,",
         {"Numer", "Cena", "LDWw", "LDIw", "LDWz", "LDIz"}, {"1", "0,5", "0", "0", "0", "0"}},
        {"deposit with counters: 61 characters", 5, false, TExchangeTable::Kaucje,
         " 2,     0.30,         0.60,    2.000,         0.90,    3.000,",
         {"Numer", "Cena", "LDWw", "LDIw", "LDWz", "LDIz"}, {"2", "0,3", "0,6", "2", "0,9", "3"}},
        {"deposit line of 56 characters: no counters rather than cut ones", 5, false, TExchangeTable::Kaucje,
         " 3,     0.30,         0.60,    2.000,         0.90,    3",
         {"Numer", "Cena", "LDWw", "LDIw", "LDWz", "LDIz"}, {"3", "0,3", "0", "0", "0", "0"}},
        {"deposit on the ER-A277P: four-digit key with counters", 3, false, TExchangeTable::Kaucje,
         "  12,     0.30,         0.60,    2.000,         0.90,    3.000,",
         {"Numer", "Cena", "LDWw", "LDIw", "LDWz", "LDIz"}, {"12", "0,3", "0,6", "2", "0,9", "3"}},
    };
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.what);
        FormatSettings() = c.pointLocale ? TFormatSettings::PointDecimal() : TFormatSettings::Polish();
        TDM d;
        d.ApplyProfile(c.kasa, true, 1);
        TExchange x(d, c.table, FileOf(c.table), jobs, wait, messages, dialogs);
        TRxMemoryData &twin = x.TwinTable();
        twin.Append();
        x.Lines().LineToRecord(c.line ? QString::fromUtf8(c.line) : g39, twin);
        twin.Post();
        QStringList actual;
        for (const QString &f : c.fields)
            actual << twin.FieldByName(f).ValueToString(twin.FieldByName(f).Value());
        EXPECT_EQ(actual.join(u'|').toStdString(), c.expected.join(u'|').toStdString());
    }
}

TEST_F(ExchangeLines, RefusedReadBackLines)
{
    struct Case {
        TExchangeTable table;
        const char *line;
        const char *message;
    };
    const Case cases[] = {
        {TExchangeTable::Kaucje, " 1,     0.50", "Linia \" 1,     0.50\" jest za krótka, by była rekordem tabeli kaucji."},
        {TExchangeTable::Grupy, " 5,01, 8,0X,     1.00,A               ,",
         "\"0X\" nie jest prawidłową wartością pola \"Rodzaj Sprz.\"."},
        {TExchangeTable::Kody, "00000000000041, 1,00,     2.5x,Bułka           ,",
         "\"     2,5x\" nie jest poprawną wartością zmniennoprzecinkową dla pola \"Cena\""},
    };
    for (const Case &c : cases) {
        auto x = Exchange(c.table);
        TRxMemoryData &twin = x->TwinTable();
        twin.Append();
        EXPECT_EQ(MessageOf([&] { x->Lines().LineToRecord(QString::fromUtf8(c.line), twin); }), c.message);
        twin.Cancel();
    }
}

// The names' rule agrees with what the module does to every byte of a line.
TEST(RegisterTextAndModule, AgreeOnEveryByte)
{
    const TNational national('W');
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string sent(1, char(b));
        const std::string back = national.toPC(national.toRegister(sent));
        const QChar c = FromCp1250(sent.data(), 1).at(0);
        EXPECT_EQ(FromCp1250(back.data(), 1).at(0), AsRegisterStores(c)) << b;
        // Controls pass the module unchanged but are refused before it.
        EXPECT_EQ(RegisterHolds(c) || IsControlChar(c), back == sent) << b;
    }
}

} // namespace
