#pragma once
// Window "Powtarzające się nazwy": the groups and codes whose names the
// register would see as one. A double-click brings the right editor
// forward on the row; "&Odśwież" searches again.
#include "data/UDM.h"
#include "editors/UKvDBGrid.h"

#include <QMainWindow>

class TFormPowtNazwy : public QMainWindow, public IDuplicateNamesView, public IPlacementExtras {
    Q_OBJECT
public:
    explicit TFormPowtNazwy(QWidget *parent = nullptr);

    // Binds the grid to dm.MDPowtNazwy; the editors are brought forward by
    // a double-click.
    void Attach(TDM &dm, IMessages *messages, QWidget *formGrupy, QWidget *formKody);

    TKvDBGrid *Grid() const { return m_grid; }

    // "&Odśwież": the last search's scope again (both before the first).
    void Refresh();
    // A double-click on a view row: finds the group or code in its editor
    // table, then brings that editor forward (found or not). Returns the
    // editor brought forward, nullptr when the row is not a result.
    QWidget *OpenRow(int viewRow);

    // IDuplicateNamesView
    void ShowDuplicates() override;
    // IPlacementExtras: "GridPowtNazwy.Columns".
    void SaveExtras(const QString &placementFile, const QString &section) const override;
    void RestoreExtras(const QString &placementFile, const QString &section) override;

private:
    // Wide enough for every column, within the screen.
    void WidenToColumns();

    TDM *m_dm = nullptr;
    IMessages *m_messages = nullptr;
    QWidget *m_formGrupy = nullptr;
    QWidget *m_formKody = nullptr;
    TKvDBGrid *m_grid;
    QString m_pendingLayout;
};
