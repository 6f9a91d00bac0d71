#pragma once
// Window "Pamięć fiskalna": reads the register's fiscal memory (in full, by
// dates or by report numbers) or loads a saved report file, shows the
// identity data, the daily records and the per-currency summary, saves the
// lines with their digest and prints the periodic fiscal report as a PDF.
// What the commands do is TFiscalMemory's; this is its window.
#include "reports/core/UFiscalMemory.h"
#include "reports/UShellOpen.h"
#include "exchange/UUiHooks.h"

#include <QWidget>
#include <functional>
#include <memory>

struct TEditorEnv;
class TDM;
namespace Ui {
class TFormPF;
}

class TFormPF : public QWidget, public IPlacementExtras {
    Q_OBJECT
public:
    // The job's exchange file and the PDF prefix of the program's settings,
    // unless others are given.
    explicit TFormPF(QWidget *parent = nullptr);
    TFormPF(const QString &exchangeFile, const QString &reportPrefix, QWidget *parent = nullptr);
    ~TFormPF() override;

    // The front end of the jobs, once every window exists; the configured
    // model comes from the data module at each read.
    void SetEnv(const TEditorEnv &env);
    // The open and save dialogs' answers: a file name, empty when cancelled.
    std::function<QString()> AskOpenFileName;
    std::function<QString()> AskSaveFileName;
    // "Zapisz PDF..." asks where the printed report goes.
    std::function<QString()> AskSavePdfFileName;
    // Where a printed report is opened (the desktop's viewer by default).
    void SetOpener(IShellOpener *opener) { m_opener = opener ? opener : &m_desktopOpener; }

    TFiscalMemory &Memory() { return *m_pf; }
    // The range of the chosen mode.
    TFiscalReadRange Range() const;

    // The buttons.
    void BBOdczytClick();
    void BBWczytajClick();
    void BBZapiszClick();
    void BBDrukujClick();
    void BBZapiszPDFClick();

    // IPlacementExtras: the two grids' column layouts.
    void SaveExtras(const QString &placementFile, const QString &section) const override;
    void RestoreExtras(const QString &placementFile, const QString &section) override;

    Ui::TFormPF *ui;

private:
    // The front end as the logic sees it; until SetEnv every job and step
    // is refused.
    class TFront;
    void ShowState();
    QString ChooseOpenFile();
    QString ChooseSaveFile();
    QString ChooseSavePdfFile();

    std::unique_ptr<TFront> m_front;
    std::unique_ptr<TFiscalMemory> m_pf;
    QString m_reportPrefix;
    TDM *m_dm = nullptr;
    TDesktopShellOpener m_desktopOpener;
    IShellOpener *m_opener = &m_desktopOpener;
};
