#pragma once
// Window "Powtarzające się nazwy"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormPowtNazwy : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormPowtNazwy(QWidget *parent = nullptr);
};
