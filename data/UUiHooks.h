#pragma once
// Small interfaces that the windows implement, so that the table logic can
// ask a question, read a grid's selection or show a window without knowing
// any window class. Tests use fakes.
#include "data/URxMemoryData.h"

#include <QString>
#include <functional>
#include <vector>

// A grid bound to a table.
class TDBGridRef {
public:
    virtual ~TDBGridRef() = default;
    virtual TRxMemoryData *Table() const = 0;
    // The selected rows as bookmarks, in the order the user selected them.
    virtual std::vector<TBookmark> SelectedRows() const = 0;
};

// A grid reference without a window: a table and a selection list.
class TTableGridRef : public TDBGridRef {
public:
    explicit TTableGridRef(TRxMemoryData &table, std::vector<TBookmark> selected = {})
        : m_table(&table), m_selected(std::move(selected)) {}
    TRxMemoryData *Table() const override { return m_table; }
    std::vector<TBookmark> SelectedRows() const override { return m_selected; }
    void SetSelectedRows(std::vector<TBookmark> selected) { m_selected = std::move(selected); }

private:
    TRxMemoryData *m_table;
    std::vector<TBookmark> m_selected;
};

// The answer to a question of IMessages::Ask.
enum class TPromptAnswer { Yes, No, Cancel };

// Asked before a command replaces editor tables. With changes not saved the
// program asks as it does at exit: Yes saves first, No goes on, Cancel (or
// a save that did not happen) stops. True when the command may go on.
class IUnsavedChanges {
public:
    virtual ~IUnsavedChanges() = default;
    virtual bool SaveBeforeReplacing() = 0;
};

// The duplicate-names window (modeless).
class IDuplicateNamesView {
public:
    virtual ~IDuplicateNamesView() = default;
    virtual void ShowDuplicates() = 0;
};

// What the commands use to run a long operation: on failure the error has
// been shown and the caller's command ends with the silent abort.
class IWaitRunner {
public:
    virtual ~IWaitRunner() = default;
    virtual void Execute(const QString &message, const std::function<void()> &procedure) = 0;
};

enum class TAskKind { Warning, Confirmation, Error };

// Message boxes. Every window and command asks its questions through this,
// so tests and the console answer them without a window.
class IMessages {
public:
    virtual ~IMessages() = default;
    virtual void Information(const QString &text) = 0;
    // The application's error box.
    virtual void Error(const QString &text) = 0;
    // Yes, No and Cancel (Yes and No only when withCancel is false).
    virtual TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel = true) = 0;
};

// A window's status bar: what its last command did ("Wysłano 5 kodów do
// kasy") and, in the main window, the data file the tables came from.
class IStatusReport {
public:
    virtual ~IStatusReport() = default;
    virtual void ShowStatus(const QString &text) = 0;
    virtual void ShowFile(const QString &text) { (void)text; }
};

// A window that keeps more than its placement in the placement file (grid
// column layouts): saved and restored together with its placement.
class IPlacementExtras {
public:
    virtual ~IPlacementExtras() = default;
    virtual void SaveExtras(const QString &placementFile, const QString &section) const = 0;
    virtual void RestoreExtras(const QString &placementFile, const QString &section) = 0;
};
