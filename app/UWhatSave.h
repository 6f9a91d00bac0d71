#pragma once
// "Co zapisać ?": which sections to write into a data file.
#include "app/USections.h"

#include <QDialog>

namespace Ui {
class TFormWhatSave;
}

class TFormWhatSave : public QDialog {
    Q_OBJECT
public:
    explicit TFormWhatSave(QWidget *parent = nullptr);
    ~TFormWhatSave() override;

    void Prepare(bool depositsTable);
    // Shows the dialog modally: the ticked items, or the empty set on cancel.
    TSectionSet Execute(bool depositsTable);
    TSectionChecks &Checks() { return m_checks; }

    Ui::TFormWhatSave *ui;

private:
    void ListChanged();
    TSectionChecks m_checks;
};
