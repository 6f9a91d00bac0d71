#pragma once
// What "Co wczytać ?" and "Co zapisać ?" share: the check list of a data
// file's sections, whose OK button is enabled only while the ticks can be
// confirmed.
#include "app/USections.h"

#include <QDialog>
#include <optional>

class QListWidget;
class QPushButton;

class TSectionsDialog : public QDialog {
public:
    TSectionChecks &Checks() { return m_checks; }

protected:
    explicit TSectionsDialog(QWidget *parent) : QDialog(parent) {}
    // After setupUi: the list and the two buttons.
    void Bind(QListWidget *list, QPushButton *ok, QPushButton *cancel);
    // Shows the checks as prepared last.
    void ShowChecks();
    // The ticked sections on a confirmation, nothing on a cancel.
    std::optional<TSectionSet> RunModal();

    TSectionChecks m_checks;

private:
    void ListChanged();

    QListWidget *m_list = nullptr;
    QPushButton *m_ok = nullptr;
};
