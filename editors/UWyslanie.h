#pragma once
// Window "Wysłanie danych do kasy"; its commands come with the later work on this window.
#include <QDialog>

class TFormWyslanie : public QDialog {
    Q_OBJECT
public:
    explicit TFormWyslanie(QWidget *parent = nullptr);
};
