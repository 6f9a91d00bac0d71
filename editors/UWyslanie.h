#pragma once
// "Wysłanie danych do kasy": the confirmation before a send.
#include "editors/UConfirmDialog.h"

namespace Ui {
class TFormWyslanie;
}

class TFormWyslanie : public TConfirmDialog<TFormWyslanie> {
    Q_OBJECT
public:
    explicit TFormWyslanie(QWidget *parent = nullptr);
    ~TFormWyslanie() override;

    // Shows the dialog modally; false when cancelled. "Sprawdź po
    // wysłaniu" starts from *VerifySetting and, on a confirmation, is
    // stored back there.
    bool Execute();
    // The box of the last Execute.
    bool VerifyAfterSend() const;
    bool *VerifySetting = nullptr;

    Ui::TFormWyslanie *ui;
};
