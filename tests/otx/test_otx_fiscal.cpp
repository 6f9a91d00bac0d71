// orvan-otx fiscal-read, fiscal-text and fiscal-pdf against kasasim.
#include "otx_test_support.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using TRun = TOtxRun;

class OtxFiscal : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override
    {
        if (kasa.state() != QProcess::NotRunning) {
            kasa.kill();
            kasa.waitForFinished(OtxWaitMs);
        }
    }

    // Starts kasasim and returns its port.
    QString StartKasa(const QStringList &options = {})
    {
        kasa.setProcessEnvironment(OtxEnvironment());
        kasa.start(QStringLiteral(ORVAN_BIN_DIR "/kasasim"), options);
        while (kasa.state() != QProcess::NotRunning && !kasa.canReadLine())
            if (!kasa.waitForReadyRead(OtxWaitMs))
                break;
        const QString line = QString::fromUtf8(kasa.readLine()).trimmed();
        EXPECT_TRUE(line.startsWith(QStringLiteral("PORT "))) << line.toStdString();
        return line.mid(5);
    }

    static TRun Otx(const QStringList &args) { return RunOtx(args); }


    QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QProcess kasa;
};

TEST_F(OtxFiscal, ReadsTheMemoryInEachModePrintsItsReportAndWritesThePdf)
{
#ifdef _WIN32
    GTEST_SKIP() << "kasasim answers over a pseudo-terminal (Linux)";
#endif
    const QString port = StartKasa({QStringLiteral("--reports"), QStringLiteral("20")});
    struct TCase {
        QStringList Options;
        QString Range; // the range lines of the first period
    };
    const TCase cases[] = {
        {{}, QStringLiteral("0001     0020    ")},
        {{QStringLiteral("--numbers"), QStringLiteral("5-12")}, QStringLiteral("0005     0012    ")},
        {{QStringLiteral("--dates"), QStringLiteral("2023-01-07..2023-01-14"), QStringLiteral("--baud"),
          QStringLiteral("19200")},
         QStringLiteral("0005     0012    ")},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Options.join(u' ').toStdString());
        const QString frp = Path("pf.frp");
        const TRun read = Otx(QStringList{QStringLiteral("fiscal-read"), frp, QStringLiteral("--port"), port} + c.Options);
        ASSERT_EQ(read.code, 0) << read.err.toStdString();
        EXPECT_TRUE(read.out.startsWith(QStringLiteral("Zapisano pamięć fiskalną kasy "))) << read.out.toStdString();
        EXPECT_EQ(ReadBytes(frp + QStringLiteral(".dig")).count("\r\n"), 2);

        const TRun text = Otx({QStringLiteral("fiscal-text"), frp});
        ASSERT_EQ(text.code, 0) << text.err.toStdString();
        const QStringList lines = text.out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GT(lines.size(), 20);
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("NIP:")));
        EXPECT_EQ(lines.at(2), QStringLiteral(" RAPORT FISKALNY"));
        EXPECT_TRUE(lines.contains(c.Range));
        EXPECT_TRUE(lines.contains(QStringLiteral("  ŁĄCZNY RAPORT")));
        for (const QString &l : lines)
            EXPECT_LE(l.size(), 17) << l.toStdString();

        const TRun pdf = Otx({QStringLiteral("fiscal-pdf"), frp, Path("r.pdf")});
        ASSERT_EQ(pdf.code, 0) << pdf.err.toStdString();
        EXPECT_TRUE(ReadBytes(Path("r.pdf")).startsWith("%PDF-"));
    }
}

TEST_F(OtxFiscal, AFailedReadWritesNoFile)
{
    const TRun r = Otx({QStringLiteral("fiscal-read"), Path("pf.frp"), QStringLiteral("--port"), Path("brak")});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QFile::exists(Path("pf.frp")));
    EXPECT_FALSE(QFile::exists(Path("pf.frp.dig")));
}

TEST_F(OtxFiscal, RefusedFilesGiveTheirMessageAndCode1)
{
    QFile f(Path("a.frp"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x\r\n");
    f.close();
    QFile d(Path("a.frp.dig"));
    ASSERT_TRUE(d.open(QIODevice::WriteOnly));
    d.write("0\r\n0000000000000000000000000000000000000000\r\n");
    d.close();
    const TRun bad = Otx({QStringLiteral("fiscal-text"), Path("a.frp")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.err, QStringLiteral("Nieprawidłowa zawartość pliku.\nPlik \"%1\" nie zgadza się z sumą kontrolną z "
                                      "pliku \"%1.dig\", wiersz 2.\n")
                           .arg(Path("a.frp")));
    EXPECT_TRUE(bad.out.isEmpty());
    const TRun missing = Otx({QStringLiteral("fiscal-pdf"), Path("b.frp"), Path("b.pdf")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, QStringLiteral("Nie mogę odnaleźć pliku ") + Path("b.frp") + u'\n');
    EXPECT_FALSE(QFile::exists(Path("b.pdf")));
}

TEST_F(OtxFiscal, WrongArgumentsGiveCode2)
{
    const QStringList cases[] = {
        {"fiscal-read", "a.frp"},
        {"fiscal-read", "a.frp", "--port", "x", "--numbers", "1-2", "--dates", "2023-01-01..2023-01-02"},
        {"fiscal-read", "a.frp", "--port", "x", "--numbers", "5"},
        {"fiscal-read", "a.frp", "--port", "x", "--numbers", "9-5"},
        {"fiscal-read", "a.frp", "--port", "x", "--dates", "2023-02-30..2023-03-01"},
        {"fiscal-read", "a.frp", "--port", "x", "--baud", "1200"},
        {"fiscal-text"},
        {"fiscal-pdf", "a.frp"},
    };
    for (const QStringList &args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const TRun r = Otx(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Użycie:")));
    }
}

} // namespace
