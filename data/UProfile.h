#pragma once
// The register profile: limits and letter sets that follow from the
// configured register model ("Kasa"), its version ("Eprom235") and whether
// deposits are handled ("Kaucje").
#include <QChar>
#include <QString>

// Register models by their "Kasa" number.
enum TKasaModel { KasaER_A235P = 0, KasaER_A275P = 1, KasaER_A237P = 2, KasaER_A277P = 3, KasaER_A277PS = 4, KasaER_A277PSPlus = 5 };

// The VAT letters accepted while tables are being loaded, in any profile.
inline const QString LoadingVatLetters = QStringLiteral("+-ABCDEFGZ");

struct TRegisterProfile {
    // The settings the profile was derived from, after corrections (an
    // unknown model falls back to the ER-A235P version A; the ER-A237P
    // always has Eprom235 1).
    int Kasa = 0;
    int Eprom235 = 0;
    bool Kaucje = true;

    QString ModelCode = QStringLiteral("235");
    QString TemplateFile = QStringLiteral("O235AK.OTX");
    int MaxGroups = 20;
    int MaxCodes = 1000;
    int MaxDeposits = 0; // kept from the previous profile where the model leaves it
    bool DepositsTable = false;
    bool DepositGroups = true;
    bool VatZ = true;

    // Letters allowed by (DepositGroups, VatZ), and the refusal message.
    QString VatLetters() const;
    bool VatAllowed(QChar c) const { return VatLetters().contains(c); }
    // The message for a refused VAT text; the text is quoted in it.
    QString VatRefusedMessage(const QString &text) const;
};

// Derives the profile; values the models table leaves unchanged are taken
// from previous. "Kasa" outside 0..5 falls back to 0 with "Eprom235" 0;
// "Eprom235" outside 0..1 falls back to 0.
TRegisterProfile DeriveProfile(int kasa, bool kaucje, int eprom235, const TRegisterProfile &previous = TRegisterProfile());

// Model code passed to the communication module ("235" ... "277PSP");
// unknown numbers give the ER-A235P's.
QString ModelCodeOf(int kasa);

// Models on which the names of groups and codes must all differ.
bool NeedsUniqueNames(int kasa);
