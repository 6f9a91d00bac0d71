#pragma once
// "Co wczytać ?": which sections of a data file to load.
#include "app/USectionsDialog.h"

namespace Ui {
class TFormWhatLoad;
}

class TFormWhatLoad : public TSectionsDialog {
    Q_OBJECT
public:
    explicit TFormWhatLoad(QWidget *parent = nullptr);
    ~TFormWhatLoad() override;

    // Prepares the list for the sections present in a file (no window).
    void Prepare(const TSectionSet &present);
    // Shows the dialog modally; the ticked items on confirmation. Cancel
    // ends the whole command with the silent abort.
    TSectionSet Execute(const TSectionSet &present);
    bool ClearBeforeLoad() const;
    void SetClearBeforeLoad(bool clear);

    Ui::TFormWhatLoad *ui;
};
