#pragma once
// Window "Raporty": the sales report of the groups, codes and deposits with
// their counters, from the register's data or the editor's, into a text file.
#include "reports/core/USalesReport.h"
#include "reports/UShellOpen.h"

#include <QDialog>
#include <functional>
#include <memory>

struct TEditorEnv;
struct TSettings;
namespace Ui {
class TFormRaporty;
}

class TFormRaporty : public QDialog {
    Q_OBJECT
public:
    // The source choice comes from "RaportNaPodst" and goes back into it
    // (the program's settings unless others are given).
    explicit TFormRaporty(QWidget *parent = nullptr);
    explicit TFormRaporty(TSettings &settings, QWidget *parent = nullptr);
    ~TFormRaporty() override;

    // The data module and the front end of the reads, once every window
    // exists; the table files come with it.
    void SetEnv(const TEditorEnv &env);
    // Ticks both boxes of the read dialog ("with counters", "clear first");
    // the reads of a report from register data leave them ticked.
    std::function<void()> TickReadOptions;
    // The report file's name, or empty when cancelled (the save dialog by
    // default; tests answer it).
    std::function<QString()> AskFileName;
    // Where a finished report is opened (the desktop's viewer by default).
    void SetOpener(IShellOpener *opener) { m_opener = opener ? opener : &m_desktopOpener; }

    // The deposits item of the table list follows the "Kaucje" setting;
    // switched off it is also unticked.
    void SetDepositsItemEnabled(bool kaucje);
    bool DepositsItemEnabled() const;
    bool DepositsItemChecked() const;

    TSalesSections TickedSections() const;
    // None while no choice is made.
    std::optional<TSalesSource> Source() const;
    bool Busy() const { return m_busy; }

    // "Wykonaj".
    void BBWykonajClick();

    Ui::TFormRaporty *ui;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void CBNaPodstDanychChange();
    void UpdateButton();
    void SetBusy(bool busy);
    QString ChooseFile();

    TSettings &m_settings;
    TDM *m_dm = nullptr;
    std::unique_ptr<ISalesReportReads> m_reads;
    IMessages *m_messages = nullptr;
    IWaitRunner *m_wait = nullptr;
    IUnsavedChanges *m_unsaved = nullptr;
    TDesktopShellOpener m_desktopOpener;
    IShellOpener *m_opener = &m_desktopOpener;
    bool m_busy = false;
};
