// Where the program finds a model template: beside the program first, then
// in the installed data folder; a template in neither is reported under the
// program's folder.
#include "UBuildInfo.h"
#include "data/UTemplates.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A tree like an installation: <root>/usr/bin and the data folder beside it.
class TemplateLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        bin = root.path() + QStringLiteral("/usr/bin/");
        data = QDir::cleanPath(bin + QStringLiteral(ORVAN_TEMPLATE_DIR_FROM_BIN)) + QLatin1Char('/');
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(QDir().mkpath(data));
    }
    static void Touch(const QString &path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QTemporaryDir root;
    QString bin;
    QString data;
};

TEST_F(TemplateLookup, InstalledFolderIsShareBesideBin)
{
    EXPECT_EQ(data, root.path() + QStringLiteral("/usr/share/orvan277psplus/"));
    EXPECT_EQ(TemplateFolders(bin), (QStringList{bin, data}));
}

TEST_F(TemplateLookup, FirstFolderHoldingTheFileWins)
{
    struct Case {
        const char *name;
        bool besideProgram;
        bool installed;
        bool expectInstalled; // otherwise the program's folder
    };
    const Case cases[] = {
        {"only beside the program", true, false, false},
        {"only installed", false, true, true},
        {"in both: the program's folder first", true, true, false},
        {"in neither: named under the program's folder", false, false, false},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = QStringLiteral("O277PSK%1.OTX").arg(n++);
        if (c.besideProgram)
            Touch(bin + file);
        if (c.installed)
            Touch(data + file);
        EXPECT_EQ(FindTemplateFile(bin, file), (c.expectInstalled ? data : bin) + file);
    }
}

TEST_F(TemplateLookup, AFolderOfThatNameIsNoTemplate)
{
    ASSERT_TRUE(QDir().mkpath(bin + QStringLiteral("O277.OTX")));
    Touch(data + QStringLiteral("O277.OTX"));
    EXPECT_EQ(FindTemplateFile(bin, QStringLiteral("O277.OTX")), data + QStringLiteral("O277.OTX"));
}

TEST(TemplateLookupNoFolder, EmptyProgramFolderKeepsTheBareName)
{
    EXPECT_EQ(TemplateFolders(QString()), QStringList{QString()});
    EXPECT_EQ(FindTemplateFile(QString(), QStringLiteral("O235AK.OTX")), QStringLiteral("O235AK.OTX"));
}

} // namespace
