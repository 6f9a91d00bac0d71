#pragma once
// Window "Kaucje w kasie"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormKaucjeWKasie : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormKaucjeWKasie(QWidget *parent = nullptr);
};
