#include "app/UScreenshots.h"

#include "editors/UChartWindow.h"
#include "exchange/UCsvExport.h"
#include "editors/UCsvImportDialog.h"
#include "editors/UEditorExtras.h"
#include "reports/UFiscalChartWindow.h"

#include "editors/UFindBar.h"
#include "app/UFormPowtNazwy.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "app/UKonfig.h"
#include "app/UOSH.h"
#include "reports/UPF.h"
#include "data/UPowtNazwy.h"
#include "reports/URaporty.h"
#include "app/UProgram.h"
#include "data/URunFolder.h"
#include "app/UUstawienia.h"
#include "ui_UKonfig.h"
#include "ui_UUstawienia.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {
constexpr int SettleMs = 400;

void Pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

bool RunDemoRead(TFormOSH &osh, const QString &exchangeFile)
{
    const QFileInfo file(exchangeFile);
    bool done = false;
    try {
        osh.Run(TJobRequest::ForTable(TExchangeTable::Grupy, TJobKind::ReadWithCounters, exchangeFile));
        done = true;
    } catch (...) {
    }
    QFile::remove(file.absoluteFilePath());
    return done;
}

TScreenshotDriver::TScreenshotDriver(TProgram &program, const QString &folder)
    : QObject(nullptr), m_program(program), m_folder(folder)
{
    QDir().mkpath(folder);
    qApp->installEventFilter(this);
    SetAppMessages(this);
    program.FormMain()->OnStartedUp = [this] {
        QTimer::singleShot(SettleMs, this, [this] {
            Shoot(m_program.FormMain(), QStringLiteral("4-okno-glowne"));
            RunJob();
        });
    };
}

void TScreenshotDriver::Shoot(QWidget *window, const QString &name)
{
    const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
    if (window->grab().save(path))
        std::fprintf(stderr, "%s\n", qPrintable(QDir::toNativeSeparators(path)));
}

void TScreenshotDriver::Information(const QString &text)
{
    std::fprintf(stderr, "[informacja] %s\n", qPrintable(BoxText(text)));
}

void TScreenshotDriver::Error(const QString &text)
{
    std::fprintf(stderr, "[błąd] %s\n", qPrintable(BoxText(text)));
}

TPromptAnswer TScreenshotDriver::Ask(const QString &text, TAskKind, bool)
{
    std::fprintf(stderr, "[pytanie] %s -> Nie\n", qPrintable(BoxText(text)));
    return TPromptAnswer::No;
}

bool TScreenshotDriver::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *window = static_cast<QWidget *>(watched);
        if (window->isWindow())
            QTimer::singleShot(SettleMs, this, [this, window] { Shown(window); });
    }
    return QObject::eventFilter(watched, event);
}

void TScreenshotDriver::Shown(QWidget *window)
{
    const QString name = window->objectName();
    if (!window->isVisible())
        return;
    if (name == u"FormAbout") {
        Shoot(window, QStringLiteral("1-o-programie"));
        static_cast<QDialog *>(window)->accept();
    } else if (name == u"FormUstawienia") {
        Shoot(window, QStringLiteral("2-ustawienia"));
        TFormUstawienia *form = m_program.Windows().FormUstawienia;
        // A search over the demo register's port and one that is not there.
        form->Search({m_program.Windows().FormOSH->PortName().toStdString(), "/dev/ttyUSB7"});
        while (form->Finder().Running())
            Pause(100);
        Pause(300);
        Shoot(window, QStringLiteral("2a-ustawienia-szukaj"));
        // The demo port is for this run only: the stored choice stays.
        form->PrepareUstawienia();
        form->ui->BBOK->click();
    } else if (name == u"FormOdczyt") {
        Shoot(window, QStringLiteral("9-odczyt-z-kasy"));
        if (auto *read = window->findChild<QPushButton *>(QStringLiteral("BBOdczytaj")))
            read->click();
    } else if (name == u"FormWyslanie") {
        if (auto *send = window->findChild<QPushButton *>(QStringLiteral("BBWyslij")))
            send->click();
    } else if (name == u"FormKonfig") {
        TFormKonfig *konfig = m_program.Windows().FormKonfig;
        konfig->ui->CBKaucje->setCurrentIndex(1);
        Pause(100);
        Shoot(window, QStringLiteral("3-konfiguracja"));
        konfig->ui->BBOk->click();
    }
}

void TScreenshotDriver::RunJob()
{
    TFormOSH *osh = m_program.Windows().FormOSH;
    osh->OnJobStarted = [this, osh] {
        QTimer::singleShot(1500, this, [this, osh] {
            if (osh->isVisible())
                Shoot(osh, QStringLiteral("5-modul-komunikacyjny"));
        });
    };
    RunDemoRead(*osh, m_program.Settings().GrupyFile);
    ShootEditors();
    ShootReports();
    ShootSend();
    // Leave the last picture time to be taken.
    Pause(300);
    qApp->quit();
}

namespace {
// Keeps the printed PDF for its picture instead of opening a viewer.
class TKeepPdf : public IShellOpener {
public:
    QString File;
    void OpenWithShell(const QString &fileName) override { File = fileName; }
};
} // namespace

void TScreenshotDriver::ShootReports()
{
    // The progress window's picture is the table read's.
    m_program.Windows().FormOSH->OnJobStarted = nullptr;
    TFormRaporty *raporty = m_program.Windows().FormRaporty;
    raporty->show();
    Pause(SettleMs);
    Shoot(raporty, QStringLiteral("6-raporty"));
    // A sales report from the demo register's data beside the pictures.
    raporty->AskFileName = [this] { return QDir(m_folder).filePath(QStringLiteral("raport-sprzedazy.txt")); };
    raporty->BBWykonajClick();
    raporty->hide();

    // The demo register's whole fiscal memory, then the first PDF page.
    TFormPF *pf = m_program.Windows().FormPF;
    pf->resize(1100, 700);
    pf->show();
    pf->BBOdczytClick();
    Pause(SettleMs);
    Shoot(pf, QStringLiteral("7-pamiec-fiskalna"));
    // Its chart, by day and by month.
    if (TFormWykres *chart = ShowFiscalChart(*pf)) {
        chart->resize(1000, 560);
        Pause(SettleMs);
        Shoot(chart, QStringLiteral("7a-wykres-dzienny"));
        chart->SetCurrentView(1);
        Pause(SettleMs);
        Shoot(chart, QStringLiteral("7b-wykres-miesieczny"));
        chart->hide();
    }
    TKeepPdf keep;
    pf->SetOpener(&keep);
    pf->BBDrukujClick();
    pf->SetOpener(nullptr);
    if (!keep.File.isEmpty()) {
        const QString page = QDir(m_folder).filePath(QStringLiteral("8-raport-fiskalny-pdf"));
        QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("90"),
                                                      QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                      QStringLiteral("1"), QStringLiteral("-singlefile"), keep.File, page});
        std::fprintf(stderr, "%s.png\n", qPrintable(QDir::toNativeSeparators(page)));
    }
    pf->hide();
}

void TScreenshotDriver::ShootEditors()
{
    // The progress window's picture is the first read's.
    m_program.Windows().FormOSH->OnJobStarted = nullptr;
    const TWindows &w = m_program.Windows();
    const struct {
        TTableForm *Form;
        const char *Name;
    } editors[] = {{w.FormGrupy, "10-grupy"}, {w.FormKody, "11-kody"}, {w.FormKaucje, "12-kaucje"}};
    for (const auto &e : editors) {
        e.Form->resize(e.Form == w.FormGrupy ? 900 : 720, 360);
        e.Form->show();
        Pause(SettleMs);
        e.Form->Read(); // the read dialog is confirmed when it shows
        Pause(SettleMs);
        Shoot(e.Form, QString::fromLatin1(e.Name));
        e.Form->hide();
    }
    // The sales charts of the codes and groups just read with their counters.
    for (const auto &c : {std::pair<TTableForm *, const char *>{w.FormKody, "11a-wykres-kody"},
                          std::pair<TTableForm *, const char *>{w.FormGrupy, "10a-wykres-grupy"}}) {
        ShowSalesChart(*c.first);
        if (auto *chart = c.first->findChild<TFormWykres *>(QStringLiteral("FormWykres"))) {
            chart->resize(1000, 560);
            Pause(SettleMs);
            Shoot(chart, QString::fromLatin1(c.second));
            chart->hide();
        }
    }
    w.FormKodyWKasie->resize(720, 300);
    w.FormKodyWKasie->show();
    Pause(SettleMs);
    Shoot(w.FormKodyWKasie, QStringLiteral("13-kody-w-kasie"));
    w.FormKodyWKasie->hide();

    // The find bar in use: part of a name, typed without its Polish letters.
    TRxMemoryData &codes = w.FormKody->Grid()->Model()->Table();
    if (codes.RecordCount() > 1) {
        const QString name = TTableFind::Fold(codes.FieldByName(QStringLiteral("Nazwa")).DisplayTextAt(1)).trimmed();
        w.FormKody->resize(720, 360);
        w.FormKody->show();
        Pause(SettleMs);
        w.FormKody->FindBar()->Search(name.left(4));
        Pause(SettleMs);
        Shoot(w.FormKody, QStringLiteral("14-kody-szukaj"));
        w.FormKody->FindBar()->Close();
        w.FormKody->hide();
    }

    // The codes editor's status bar after a send to the demo register.
    w.FormKody->resize(720, 360);
    w.FormKody->show();
    Pause(SettleMs);
    w.FormKody->Send(); // the send dialog is confirmed when it shows
    Pause(SettleMs);
    Shoot(w.FormKody, QStringLiteral("14a-kody-pasek-stanu"));
    w.FormKody->hide();

    // The import dialog over the codes as a spreadsheet would hold them,
    // with one row it refuses; cancelled, nothing goes in.
    const QString folder = RunFolder();
    if (TDM *dm = w.FormKody->Env().DM; dm && !folder.isEmpty()) {
        const QString file = folder + QStringLiteral("/towary.csv");
        QFile out(file);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(CsvExportBytes(codes, CsvDefaultColumns(codes)));
            out.write("5901234123458;Kod z błędną cyfrą kontrolną;1;2,50\r\n");
            out.close();
            TFormImportCsv dialog(*dm, 1, file, w.FormKody);
            dialog.resize(900, 560);
            dialog.show();
            Pause(SettleMs);
            Shoot(&dialog, QStringLiteral("15-import-csv"));
            dialog.reject();
        }
    }

    // The duplicate-names window over a code named as a group in small
    // letters; the code goes again afterwards.
    TDM *dm = w.FormKody->Env().DM;
    if (dm && w.FormPowtNazwy && dm->MDGrupy.RecordCount() > 0 &&
        !codes.Locate(QStringLiteral("Numer"), QStringLiteral("9999"))) {
        const TField &group = dm->MDGrupy.FieldByName(QStringLiteral("Nazwa"));
        const bool modified = dm->Modified;
        try {
            codes.Append();
            codes.FieldByName(QStringLiteral("Numer")).SetText(QStringLiteral("9999"));
            codes.FieldByName(QStringLiteral("Nazwa")).SetText(group.ValueToString(group.ValueAt(0)).toLower());
            codes.FieldByName(QStringLiteral("Grupa")).SetText(QStringLiteral("1"));
            codes.Post();
            FindDuplicateNames(*dm, DupScopeBoth);
            w.FormPowtNazwy->ShowDuplicates();
            Pause(SettleMs);
            Shoot(w.FormPowtNazwy, QStringLiteral("16-powtarzajace-sie-nazwy"));
            w.FormPowtNazwy->hide();
            codes.Delete();
        } catch (...) {
            codes.Cancel();
        }
        dm->Modified = modified;
    }
}

void TScreenshotDriver::ShootSend()
{
    // A send of many codes to the demo register, whose line keeps a real
    // line's time; pictured once the bar has measured the line, then
    // stopped. Never to a register on a cable.
    if (!m_program.Demo())
        return;
    TFormOSH *osh = m_program.Windows().FormOSH;
    const QFileInfo file(m_program.Settings().KodyFile);
    QFile out(file.absoluteFilePath());
    if (!out.open(QIODevice::WriteOnly))
        return;
    for (int code = 1; code <= SendCodes; ++code)
        out.write(QStringLiteral("%1,01,00,%2,TOWAR %3,\r\n")
                      .arg(code, 14)
                      .arg(QString::number(1 + code % 50) + QStringLiteral(".99"), 9)
                      .arg(code, -10)
                      .toLatin1());
    out.close();

    auto *watch = new QTimer(this);
    watch->setInterval(100);
    connect(watch, &QTimer::timeout, this, [this, osh, watch] {
        if (osh->isVisible() && osh->Output().Progress().View().SecondsLeft < 0)
            return;
        watch->stop();
        watch->deleteLater();
        if (!osh->isVisible())
            return;
        Pause(1000);
        osh->tmRefreshTimer();
        Shoot(osh, QStringLiteral("5a-wysylanie-kodow"));
        osh->btStopClick();
    });
    osh->OnJobStarted = [watch] { watch->start(); };
    try {
        osh->Run(TJobRequest::ForTable(TExchangeTable::Kody, TJobKind::Send, file.fileName()));
    } catch (...) {
    }
    osh->OnJobStarted = nullptr;
    QFile::remove(file.absoluteFilePath());
}
