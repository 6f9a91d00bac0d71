#pragma once
// "Odczyt danych z kasy": the options of a read from the register. The two
// boxes keep their state between uses; a read for an in-register view shows
// the clear box unticked and disabled and gives it its state back after.
#include "editors/UConfirmDialog.h"
#include "exchange/UUiHooks.h"

namespace Ui {
class TFormOdczyt;
}
class TFormWyslanie;

class TFormOdczyt : public TConfirmDialog<TFormOdczyt> {
    Q_OBJECT
public:
    explicit TFormOdczyt(QWidget *parent = nullptr);
    ~TFormOdczyt() override;

    // Shows the dialog modally; false when cancelled.
    bool Execute(bool forView, bool &clearFirst, bool &withCounters);

    Ui::TFormOdczyt *ui;
};

// The two dialogs before a job, for the exchange logic.
class TExchangeDialogs : public IExchangeDialogs {
public:
    TExchangeDialogs(TFormOdczyt *odczyt, TFormWyslanie *wyslanie) : m_odczyt(odczyt), m_wyslanie(wyslanie) {}
    bool ConfirmRead(bool forView, bool &clearFirst, bool &withCounters) override;
    bool ConfirmSend() override;
    bool VerifySend() override;
    // A question box with No as its default button.
    bool ConfirmDeleteMissing(const QString &question) override;

private:
    TFormOdczyt *m_odczyt;
    TFormWyslanie *m_wyslanie;
};
