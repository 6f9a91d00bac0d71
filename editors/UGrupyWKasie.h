#pragma once
// Window "Grupy w kasie"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormGrupyWKasie : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormGrupyWKasie(QWidget *parent = nullptr);
};
