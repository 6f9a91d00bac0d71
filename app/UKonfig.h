#pragma once
// The configuration dialog: register model (shown, not changeable) and
// deposits handling; confirming derives the register profile.
#include <QDialog>

struct TSettings;
class TDM;
namespace Ui {
class TFormKonfig;
}

// The windows that follow the configuration.
class IKonfigTarget {
public:
    virtual ~IKonfigTarget() = default;
    virtual void SetDepositsButtonEnabled(bool enabled) = 0;    // TBKaucje
    virtual void SetReportsDepositsItem(bool kaucje) = 0;       // reports window list
    virtual void HideDepositsWindows() = 0;                     // editor and in-register view
};

// "Kasa" and "Eprom235" of a CBKasa item (0..6); the list order is not the
// model numbering.
struct TKasaItem {
    int Kasa;
    int Eprom235;
};
TKasaItem KasaOfItem(int item);
// The CBKasa item of stored settings (-1 for none).
int ItemOfKasa(int kasa, int eprom235);

class TKonfigLogic {
public:
    struct State {
        int KasaItem = -1;
        int KaucjeItem = -1; // -1: no selection
        bool OkEnabled = true;
        bool CancelEnabled = true;
    };

    TKonfigLogic(TSettings &settings, TDM &dm, IKonfigTarget *target);

    // Showing: "Kasa" becomes 5 (ER-A277PS Plus) in memory; on the first run
    // both buttons are disabled and "Obsługa kaucji" starts unselected.
    void Prepare(State &state);
    // On a change of either list.
    void Change(State &state) const;
    // The dialog may be closed other than by confirming only after the
    // first run.
    bool CanClose() const;
    // Confirming: clears FirstRun, applies the profile, brings the windows
    // in line and writes the settings at once (a failure to write is shown).
    // Returns false (and changes nothing) without both selections.
    bool Confirm(const State &state);
    // Brings the windows in line with the profile, empties the editor tables
    // and marks the data modified.
    void ApplyKonfigToWindows();

private:
    TSettings &m_settings;
    TDM &m_dm;
    IKonfigTarget *m_target;
};

class TFormKonfig : public QDialog {
    Q_OBJECT
public:
    TFormKonfig(TKonfigLogic &logic, QWidget *parent = nullptr);
    ~TFormKonfig() override;

    // Prepares the controls as for showing (used by exec through showEvent).
    void PrepareControls();
    Ui::TFormKonfig *ui;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void ListChanged();
    void BBOkClick();
    TKonfigLogic &m_logic;
    TKonfigLogic::State m_state;
};
