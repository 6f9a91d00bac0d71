#pragma once
// "Co wczytać ?": which sections of a data file to load.
#include "app/USections.h"

#include <QDialog>

class QListWidget;
namespace Ui {
class TFormWhatLoad;
}

// Check list helpers shared by the load and save dialogs.
void ShowSectionChecks(QListWidget *list, const TSectionChecks &checks);
void ReadSectionChecks(const QListWidget *list, TSectionChecks &checks);

class TFormWhatLoad : public QDialog {
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
    TSectionChecks &Checks() { return m_checks; }

    Ui::TFormWhatLoad *ui;

private:
    void ListChanged();
    TSectionChecks m_checks;
};
