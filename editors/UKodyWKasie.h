#pragma once
// Window "Kody w kasie"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormKodyWKasie : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormKodyWKasie(QWidget *parent = nullptr);
};
