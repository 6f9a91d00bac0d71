#pragma once
// "Co zapisać ?": which sections to write into a data file.
#include "app/USectionsDialog.h"

namespace Ui {
class TFormWhatSave;
}

class TFormWhatSave : public TSectionsDialog {
    Q_OBJECT
public:
    explicit TFormWhatSave(QWidget *parent = nullptr);
    ~TFormWhatSave() override;

    void Prepare(bool depositsTable);
    // Shows the dialog modally: the ticked items, or the empty set on cancel.
    TSectionSet Execute(bool depositsTable);

    Ui::TFormWhatSave *ui;
};
