#pragma once
// "Wysłanie danych do kasy": the confirmation before a send.
#include <QDialog>
#include <functional>

namespace Ui {
class TFormWyslanie;
}

class TFormWyslanie : public QDialog {
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

    // "&Ustawienia": the transmission settings dialog (given by the program).
    std::function<void()> OnUstawienia;
    // Runs instead of the modal loop (tests): returns whether to confirm.
    std::function<bool(TFormWyslanie &)> OnExec;

    Ui::TFormWyslanie *ui;
};
