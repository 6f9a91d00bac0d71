#include "data/UProfile.h"

#include "data/URegisterText.h"

namespace {

const char *const kModelCodes[] = {"235", "275", "237", "277", "277PS", "277PSP"};

} // namespace

QString TRegisterProfile::VatLetters() const
{
    if (DepositGroups)
        return VatZ ? QStringLiteral("+-ABCDEFZ") : QStringLiteral("+-ABCDEFG");
    return VatZ ? QStringLiteral("ABCDEFZ") : QStringLiteral("ABCDEFG");
}

QString TRegisterProfile::VatRefusedMessage(const QString &text) const
{
    QString allowed;
    if (DepositGroups)
        allowed = VatZ ? QStringLiteral("A do F, Z, + oraz -.") : QStringLiteral("A do G, + oraz -.");
    else
        allowed = VatZ ? QStringLiteral("A do F oraz Z.") : QStringLiteral("A do G.");
    return QStringLiteral("\"%1\" nie jest prawidłową wartością pola VAT. Dozwolonymi wartościami są %2").arg(QuotedText(text), allowed);
}

QString ModelCodeOf(int kasa)
{
    if (kasa < 0 || kasa > 5)
        kasa = 0;
    return QString::fromLatin1(kModelCodes[kasa]);
}

bool NeedsUniqueNames(int kasa)
{
    return kasa >= 2 && kasa <= 5;
}

TRegisterProfile DeriveProfile(int kasa, bool kaucje, int eprom235, const TRegisterProfile &previous)
{
    if (kasa < 0 || kasa > 5) {
        kasa = 0;
        eprom235 = 0;
    }
    if (eprom235 < 0 || eprom235 > 1)
        eprom235 = 0;
    if (kasa == KasaER_A237P)
        eprom235 = 1;

    TRegisterProfile p = previous;
    p.Kasa = kasa;
    p.Eprom235 = eprom235;
    p.Kaucje = kaucje;
    p.ModelCode = ModelCodeOf(kasa);
    const QString k = kaucje ? QStringLiteral("K") : QString();

    switch (kasa) {
    case KasaER_A235P:
    case KasaER_A237P: {
        if (kasa == KasaER_A235P)
            p.TemplateFile = (eprom235 == 0 ? QStringLiteral("O235A") : QStringLiteral("O235B")) + k + QStringLiteral(".OTX");
        else
            p.TemplateFile = QStringLiteral("O237") + k + QStringLiteral(".OTX");
        p.MaxGroups = 20;
        p.VatZ = kasa == KasaER_A235P;
        if (kasa == KasaER_A235P && eprom235 == 0) {
            p.MaxCodes = 1000;
            p.DepositsTable = false;
            p.DepositGroups = kaucje;
        } else if (kaucje) {
            p.MaxCodes = 940;
            p.MaxDeposits = 30;
            p.DepositsTable = true;
            p.DepositGroups = false;
        } else {
            p.MaxCodes = 1000;
            p.DepositsTable = false;
            p.DepositGroups = false;
        }
        break;
    }
    case KasaER_A275P:
    case KasaER_A277P:
        p.TemplateFile = (kasa == KasaER_A275P ? QStringLiteral("O275") : QStringLiteral("O277")) + k + QStringLiteral(".OTX");
        p.MaxGroups = 30;
        p.MaxCodes = 3500;
        if (kaucje)
            p.MaxDeposits = 50;
        p.DepositsTable = kaucje;
        p.DepositGroups = false;
        p.VatZ = kasa == KasaER_A275P;
        break;
    default: // ER-A277PS and ER-A277PS Plus share their templates
        p.TemplateFile = QStringLiteral("O277PS") + k + QStringLiteral(".OTX");
        p.MaxGroups = 30;
        p.MaxCodes = 9999;
        if (kaucje)
            p.MaxDeposits = 50;
        p.DepositsTable = kaucje;
        p.DepositGroups = false;
        p.VatZ = false;
        break;
    }
    return p;
}
