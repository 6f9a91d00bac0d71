#pragma once
// The common shell of the three table editors and their three in-register
// views: a grid filling the window, a menu, and calls into TEditorCommands
// and TExchange. What a command does to the tables lives there.
#include "exchange/UEditorCommands.h"
#include "editors/UEditorEnv.h"
#include "exchange/UExchange.h"
#include "editors/UKvDBGrid.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class TFindBar;

struct TTableFormSetup {
    TExchangeTable Table = TExchangeTable::Grupy;
    bool View = false;             // an in-register view: read-only, on the twin table
    QString ObjectName;            // "FormGrupy"
    QString Caption;               // "Grupy"
    QString GridName;              // "GridGrupy"
    QList<TGridColumn> Columns;
    bool AlwaysShowEditor = false;
    bool MultiSelect = false;
};

// Names, caption, columns and grid behaviour of a table's editor (view
// false) or in-register view (view true).
TTableFormSetup TableFormSetup(TExchangeTable table, bool view);

class TTableForm : public QMainWindow, public IPlacementExtras, public IStatusReport {
    Q_OBJECT
public:
    TTableForm(TExchangeTable table, bool view, QWidget *parent = nullptr);
    ~TTableForm() override;

    // Binds the window to the data module and the front end; the grid and
    // the commands exist from here on.
    void Attach(const TEditorEnv &env);

    TKvDBGrid *Grid() const { return m_grid; }
    TEditorCommands *Commands() const { return m_commands.get(); }
    TExchange *Exchange() const { return m_exchange.get(); }
    QAction *Action(const QString &objectName) const;
    bool IsView() const { return m_setup.View; }
    const TTableFormSetup &FormSetup() const { return m_setup; }
    const TEditorEnv &Env() const { return m_env; }

    // The in-register view the editor's menu brings forward.
    void SetInRegisterView(QWidget *view);

    // A user command: the open cell editor's text is taken first; an error
    // goes to the message box, the silent abort to nobody.
    void RunCommand(const std::function<void()> &command);

    // The editor's commands (menu items and keys).
    void Add();
    void InsertRecord();
    void DeleteRecords();
    void DeleteAllRecords();
    void Check();
    void Read();
    void Send();
    void SendSelected();
    void DeleteSelectedInRegister();
    void ReadForView();
    void SendChanged();
    // Undo and redo of the editor table ("Cofnij", "Ponów").
    void Undo();
    void Redo();
    // Ctrl+F, F3, Shift+F3.
    void OpenFind();
    void FindNext();
    void FindPrevious();
    TFindBar *FindBar() const { return m_findBar; }
    TEditHistory *History() const { return m_history.get(); }

    // Ends the pending edit as when leaving the row; false (message shown)
    // when the record was refused.
    bool EndPendingEdit();

    // IPlacementExtras: the grid's column layout as "<GridName>.Columns".
    // Before Attach the layout is kept and applied when the grid is bound.
    void SaveExtras(const QString &placementFile, const QString &section) const override;
    void RestoreExtras(const QString &placementFile, const QString &section) override;

    // IStatusReport: what the last command did, in the status bar.
    void ShowStatus(const QString &text) override;

protected:
    QMenu *EditMenu() const { return m_editMenu; }
    QMenu *TransmitMenu() const { return m_transmitMenu; }
    QAction *AddAction(QMenu *menu, const QString &name, const QString &text, void (TTableForm::*slot)(),
                       const QKeySequence &shortcut = QKeySequence());
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Activated();
    void Deactivated();
    std::function<CheckResult(int row)> RecordCheck() const;

    TTableFormSetup m_setup;
    TEditorEnv m_env;
    TKvDBGrid *m_grid;
    QMenu *m_editMenu = nullptr;
    QMenu *m_transmitMenu = nullptr;
    std::unique_ptr<TEditorCommands> m_commands;
    std::unique_ptr<TExchange> m_exchange;
    TFindBar *m_findBar = nullptr;
    std::unique_ptr<TEditHistory> m_history;
    std::unique_ptr<TRegisterMemory> m_memory;
    QString m_pendingLayout; // restored before Attach
    bool m_deactivating = false;
    QWidget *m_view = nullptr;
};

// The editor windows and in-register views differ only in their table.
template <TExchangeTable Table, bool View>
class TTableFormOf final : public TTableForm {
public:
    explicit TTableFormOf(QWidget *parent = nullptr) : TTableForm(Table, View, parent) {}
};
