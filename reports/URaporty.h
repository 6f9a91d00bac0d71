#pragma once
// Window "Raporty"; its commands come with the later work on this window.
#include <QDialog>

class QListWidget;

class TFormRaporty : public QDialog {
    Q_OBJECT
public:
    explicit TFormRaporty(QWidget *parent = nullptr);

    // The deposits item of the table list follows the "Kaucje" setting;
    // switched off it is also unticked.
    void SetDepositsItemEnabled(bool kaucje);
    bool DepositsItemEnabled() const;
    bool DepositsItemChecked() const;

private:
    QListWidget *m_tables;
};
