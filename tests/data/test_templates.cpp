// The model templates in templates/ are produced by the data-file writer
// from the starting tables below. Run this test with ORVAN_WRITE_TEMPLATES=1
// to write them again after a change of the tables or of the writer.
#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/ULocale.h"
#include "data/UOrvanIO.h"
#include "data/UPowtNazwy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TemplateCase {
    const char *file;
    int kasa;
    int eprom;
    bool kaucje;
    int groups;   // records in MDGrupy
    int deposits; // records in MDKaucje (0: no section)
};

const TemplateCase kTemplates[] = {
    {"O235A.OTX", 0, 0, false, 8, 0},  {"O235AK.OTX", 0, 0, true, 10, 0}, {"O235B.OTX", 0, 1, false, 8, 0},
    {"O235BK.OTX", 0, 1, true, 8, 3},  {"O275.OTX", 1, 0, false, 8, 0},   {"O275K.OTX", 1, 0, true, 8, 3},
    {"O237.OTX", 2, 1, false, 8, 0},   {"O237K.OTX", 2, 1, true, 8, 3},   {"O277.OTX", 3, 0, false, 8, 0},
    {"O277K.OTX", 3, 0, true, 8, 3},   {"O277PS.OTX", 4, 0, false, 8, 0}, {"O277PSK.OTX", 4, 0, true, 8, 3},
};

QString SourcePath(const char *file)
{
    return QStringLiteral(ORVAN_SOURCE_DIR "/templates/") + QString::fromLatin1(file);
}

QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void AddGrupa(TDM &dm, int numer, const QString &nazwa, const QString &vat)
{
    dm.MDGrupy.Append();
    dm.MDGrupy.FieldByName("Numer").SetAsInteger(numer);
    dm.MDGrupy.FieldByName("Nazwa").SetAsString(nazwa);
    dm.MDGrupy.FieldByName("VAT").SetText(vat);
    dm.MDGrupy.FieldByName("Limit").SetAsInteger(8);
    dm.MDGrupy.Post();
}

// The starting tables of a profile.
void FillStartingTables(TDM &dm)
{
    for (int n = 1; n <= 8; ++n)
        AddGrupa(dm, n, QStringLiteral("GRUPA %1").arg(n), QStringLiteral("A"));
    if (dm.RegisterProfile.DepositGroups) {
        AddGrupa(dm, 9, QStringLiteral("WYDANIE KAUCJI"), QStringLiteral("+"));
        AddGrupa(dm, 10, QStringLiteral("ZWROT KAUCJI"), QStringLiteral("-"));
    }
    if (dm.RegisterProfile.DepositsTable) {
        const char *prices[] = {"0,50", "1,00", "3,00"};
        for (int n = 1; n <= 3; ++n) {
            dm.MDKaucje.Append();
            dm.MDKaucje.FieldByName("Numer").SetAsInteger(n);
            dm.MDKaucje.FieldByName("Cena").SetText(QString::fromLatin1(prices[n - 1]));
            dm.MDKaucje.Post();
        }
    }
}

TSectionSet TemplateSections(const TDM &dm)
{
    TSectionSet s = TSectionSet::Of({0, 1});
    if (dm.RegisterProfile.DepositsTable)
        s.Insert(2);
    return s;
}

class Templates : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
    }
    void TearDown() override { FormatSettings() = m_saved; }
    TFormatSettings m_saved;
};

TEST_F(Templates, EachProfileNamesItsTemplate)
{
    for (const TemplateCase &c : kTemplates) {
        TDM dm;
        dm.ApplyProfile(c.kasa, c.kaucje, c.eprom);
        EXPECT_EQ(dm.RegisterProfile.TemplateFile, c.file);
    }
    TDM plus;
    plus.ApplyProfile(5, true, 0);
    EXPECT_EQ(plus.RegisterProfile.TemplateFile, "O277PSK.OTX");
}

TEST_F(Templates, FilesAreTheWritersOutput)
{
    const bool write = qEnvironmentVariableIsSet("ORVAN_WRITE_TEMPLATES");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const TemplateCase &c : kTemplates) {
        SCOPED_TRACE(c.file);
        TDM dm;
        dm.ApplyProfile(c.kasa, c.kaucje, c.eprom);
        FillStartingTables(dm);
        const QString out = write ? SourcePath(c.file) : dir.filePath(QString::fromLatin1(c.file));
        SaveDataFile(dm, out, TemplateSections(dm));
        EXPECT_EQ(ReadBytes(SourcePath(c.file)), ReadBytes(out));
        // The build puts the same file beside the programs.
        EXPECT_EQ(ReadBytes(QStringLiteral(ORVAN_BIN_DIR "/") + QString::fromLatin1(c.file)), ReadBytes(out));
    }
}

TEST_F(Templates, EachLoadsUnderItsProfileAndPassesTheChecks)
{
    for (const bool pointLocale : {false, true}) {
        if (pointLocale)
            FormatSettings() = TFormatSettings::PointDecimal();
        for (const TemplateCase &c : kTemplates) {
            for (const int kasa : {c.kasa, c.kasa == 4 ? 5 : c.kasa}) {
                SCOPED_TRACE(std::string(c.file) + " kasa " + std::to_string(kasa) + (pointLocale ? " point" : " comma"));
                TDM dm;
                dm.ApplyProfile(kasa, c.kaucje, c.eprom);
                const QString file = SourcePath(c.file);
                try {
                    const TSectionSet sections = ScanDataFile(dm, file);
                    EXPECT_EQ(sections, TemplateSections(dm));
                    LoadDataFile(dm, file, sections, true);
                    const QString repeated = QStringLiteral("Numery nie mogą się powtarzać.");
                    dm.CheckTable(TTableGridRef(dm.MDGrupy), "Numer", repeated, false,
                                  [&](int row) { return dm.CheckGrupy(row); });
                    dm.CheckTable(TTableGridRef(dm.MDKody), "Numer", repeated, false,
                                  [&](int row) { return dm.CheckKody(row); });
                    dm.CheckTable(TTableGridRef(dm.MDKaucje), "Numer", repeated, false,
                                  [&](int row) { return dm.CheckKaucje(row); });
                    EXPECT_EQ(RequireUniqueNames(dm, 3).Message.toStdString(), "");
                } catch (const Exception &e) {
                    ADD_FAILURE() << e.Message().toStdString();
                }
                EXPECT_EQ(dm.MDGrupy.RecordCount(), c.groups);
                EXPECT_TRUE(dm.MDKody.IsEmpty());
                EXPECT_EQ(dm.MDKaucje.RecordCount(), c.deposits);
                if (c.deposits > 0) {
                    EXPECT_EQ(dm.MDKaucje.FieldByName("Cena").ValueAt(2), TFieldValue(std::int64_t(30000)));
                }
                if (c.groups == 10) {
                    EXPECT_EQ(dm.MDGrupy.FieldByName("VAT").TextAt(9), "-");
                }
            }
        }
    }
}

} // namespace
