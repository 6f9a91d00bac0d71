#pragma once
// Window "Odczyt danych z kasy"; its commands come with the later work on this window.
#include <QDialog>

class TFormOdczyt : public QDialog {
    Q_OBJECT
public:
    explicit TFormOdczyt(QWidget *parent = nullptr);
};
