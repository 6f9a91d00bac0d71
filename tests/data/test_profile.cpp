#include "data/UProfile.h"

#include <gtest/gtest.h>

namespace {

struct ProfileRow {
    int kasa, eprom;
    bool kaucje;
    const char *model, *templ;
    int maxGroups, maxCodes, maxDeposits; // -1: unchanged from the previous profile
    bool depositsTable, depositGroups, vatZ;
    const char *letters;
    int storedEprom;
};

void PrintTo(const ProfileRow &r, std::ostream *os)
{
    *os << "kasa " << r.kasa << ", eprom " << r.eprom << (r.kaucje ? ", deposits" : "");
}

// Every model row, each with deposits on and off.
const ProfileRow kRows[] = {
    {0, 0, false, "235", "O235A.OTX", 20, 1000, -1, false, false, true, "ABCDEFZ", 0},
    {0, 0, true, "235", "O235AK.OTX", 20, 1000, -1, false, true, true, "+-ABCDEFZ", 0},
    {0, 1, false, "235", "O235B.OTX", 20, 1000, -1, false, false, true, "ABCDEFZ", 1},
    {0, 1, true, "235", "O235BK.OTX", 20, 940, 30, true, false, true, "ABCDEFZ", 1},
    {2, 0, false, "237", "O237.OTX", 20, 1000, -1, false, false, false, "ABCDEFG", 1},
    {2, 0, true, "237", "O237K.OTX", 20, 940, 30, true, false, false, "ABCDEFG", 1},
    {1, 0, false, "275", "O275.OTX", 30, 3500, -1, false, false, true, "ABCDEFZ", 0},
    {1, 0, true, "275", "O275K.OTX", 30, 3500, 50, true, false, true, "ABCDEFZ", 0},
    {3, 0, false, "277", "O277.OTX", 30, 3500, -1, false, false, false, "ABCDEFG", 0},
    {3, 0, true, "277", "O277K.OTX", 30, 3500, 50, true, false, false, "ABCDEFG", 0},
    {4, 0, false, "277PS", "O277PS.OTX", 30, 9999, -1, false, false, false, "ABCDEFG", 0},
    {4, 0, true, "277PS", "O277PSK.OTX", 30, 9999, 50, true, false, false, "ABCDEFG", 0},
    {5, 0, false, "277PSP", "O277PS.OTX", 30, 9999, -1, false, false, false, "ABCDEFG", 0},
    {5, 0, true, "277PSP", "O277PSK.OTX", 30, 9999, 50, true, false, false, "ABCDEFG", 0},
    // Values only an edited registry can hold fall back to the defaults.
    {6, 1, true, "235", "O235AK.OTX", 20, 1000, -1, false, true, true, "+-ABCDEFZ", 0},
    {-1, 0, false, "235", "O235A.OTX", 20, 1000, -1, false, false, true, "ABCDEFZ", 0},
    {0, 7, true, "235", "O235AK.OTX", 20, 1000, -1, false, true, true, "+-ABCDEFZ", 0},
};

class ProfileTable : public ::testing::TestWithParam<ProfileRow> {};

TEST_P(ProfileTable, DerivesEveryValue)
{
    const ProfileRow &r = GetParam();
    TRegisterProfile previous;
    previous.MaxDeposits = 17; // shows whether the value is kept
    const TRegisterProfile p = DeriveProfile(r.kasa, r.kaucje, r.eprom, previous);
    EXPECT_EQ(p.ModelCode, r.model);
    EXPECT_EQ(p.TemplateFile, r.templ);
    EXPECT_EQ(p.MaxGroups, r.maxGroups);
    EXPECT_EQ(p.MaxCodes, r.maxCodes);
    EXPECT_EQ(p.MaxDeposits, r.maxDeposits < 0 ? 17 : r.maxDeposits);
    EXPECT_EQ(p.DepositsTable, r.depositsTable);
    EXPECT_EQ(p.DepositGroups, r.depositGroups);
    EXPECT_EQ(p.VatZ, r.vatZ);
    EXPECT_EQ(p.VatLetters(), r.letters);
    EXPECT_EQ(p.Eprom235, r.storedEprom);
    EXPECT_EQ(p.Kasa, r.kasa >= 0 && r.kasa <= 5 ? r.kasa : 0);
    EXPECT_EQ(p.Kaucje, r.kaucje);
}

INSTANTIATE_TEST_SUITE_P(Models, ProfileTable, ::testing::ValuesIn(kRows));

TEST(ProfileVat, RefusalMessagesByLetterSet)
{
    const struct {
        bool depositGroups, vatZ;
        const char *message;
    } rows[] = {
        {false, false, "\"H\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G."},
        {false, true, "\"H\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do F oraz Z."},
        {true, false, "\"H\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do G, + oraz -."},
        {true, true, "\"H\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są A do F, Z, + oraz -."},
    };
    for (const auto &r : rows) {
        TRegisterProfile p;
        p.DepositGroups = r.depositGroups;
        p.VatZ = r.vatZ;
        EXPECT_EQ(p.VatRefusedMessage("H").toStdString(), r.message);
        EXPECT_FALSE(p.VatAllowed(u'a')); // case-sensitive
    }
}

TEST(ProfileModels, UniqueNamesAndModelCodes)
{
    const bool unique[] = {false, false, true, true, true, true};
    for (int k = 0; k <= 5; ++k)
        EXPECT_EQ(NeedsUniqueNames(k), unique[k]) << k;
    EXPECT_FALSE(NeedsUniqueNames(6));
    EXPECT_FALSE(NeedsUniqueNames(-1));
    EXPECT_EQ(ModelCodeOf(5), "277PSP");
    EXPECT_EQ(ModelCodeOf(9), "235");
}

TEST(ProfileModels, DepositsFromAnEarlierProfileStayWhereTheModelLeavesThem)
{
    const TRegisterProfile ps = DeriveProfile(4, true, 0);
    EXPECT_EQ(ps.MaxDeposits, 50);
    const TRegisterProfile a = DeriveProfile(0, false, 0, ps);
    EXPECT_EQ(a.MaxDeposits, 50);
    const TRegisterProfile b = DeriveProfile(0, true, 1, a);
    EXPECT_EQ(b.MaxDeposits, 30);
}

} // namespace
