#pragma once
// The find bar above a table window's grid: typing moves the current row
// to the first match (number prefix or name, case and diacritics ignored),
// F3 and Shift+F3 go to the next and previous match, Escape closes it and
// returns to the grid. The logic is TTableFind.
#include "exchange/UTableFind.h"

#include <QToolBar>
#include <memory>

class QLabel;
class QLineEdit;
class QTableView;

class TFindBar : public QToolBar {
    Q_OBJECT
public:
    explicit TFindBar(QWidget *parent = nullptr);
    ~TFindBar() override;

    void Attach(TRxMemoryData &table, QTableView *grid);
    // Ctrl+F: shown, the text selected for typing over.
    void Open();
    void Close();
    void FindNext();
    void FindPrevious();
    // As if the text were typed into the bar.
    void Search(const QString &text);

    QLineEdit *Edit() const { return m_edit; }
    QLabel *CountLabel() const { return m_count; }
    TTableFind *Find() const { return m_find.get(); }

    // A failure of the move (a pending record refused) goes here.
    std::function<void(const QString &)> OnError;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void TextEdited(const QString &text);
    void Run(const std::function<bool()> &step);
    void SelectFoundRow();
    void ShowState();

    QLineEdit *m_edit;
    QLabel *m_count;
    QTableView *m_grid = nullptr;
    std::unique_ptr<TTableFind> m_find;
};
