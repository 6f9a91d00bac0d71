#pragma once
// "Importuj z pliku CSV...": the file as a preview grid, a column (or one
// value for all rows) for each field, and "Zastąp" or "Uzupełnij". The
// choices are kept in QSettings for the next import into the same table.
#include "exchange/UCsvImport.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class TFormImportCsv;
}
class QComboBox;
class QLineEdit;
class TCsvPreviewModel;

class TFormImportCsv : public QDialog {
    Q_OBJECT
public:
    // The file is read at once; a file that cannot be read throws Exception.
    TFormImportCsv(TDM &dm, int section, const QString &fileName, QWidget *parent = nullptr);
    ~TFormImportCsv() override;

    TCsvImport &Import() { return m_import; }
    TCsvImportMode Mode() const;
    // The preview and summary after a change of any choice.
    void Refresh();
    // The column combo box and the fixed value edit of a field.
    QComboBox *ColumnBox(const QString &field) const;
    QLineEdit *FixedEdit(const QString &field) const;

    // Shows the dialog; on "Importuj" puts the fine rows into the table and
    // returns how many (0 when cancelled), as one step of the history when
    // one is given. Failures are shown here.
    int Execute(TEditHistory *history = nullptr);
    // Runs instead of the modal loop (tests): returns whether to confirm.
    std::function<bool(TFormImportCsv &)> OnExec;

    Ui::TFormImportCsv *ui;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // "Stan" as wide as its messages, as far as the other columns leave
    // room, and never narrower than any other column may be.
    void FitStatusColumn();
    // The widest any other column starts.
    int ColumnWidthLimit() const;
    void BuildColumnChoices();
    void ChoicesFromControls();
    void ControlsFromChoices();
    void Remember() const;
    QString SettingsKey() const;

    TCsvImport m_import;
    TCsvPreviewModel *m_model;
    struct TChoice {
        QString Field;
        QComboBox *Column;
        QLineEdit *Fixed;
    };
    std::vector<TChoice> m_choices;
    bool m_updating = false;
    int m_statusWidth = 0;  // the "Stan" column's contents
};
