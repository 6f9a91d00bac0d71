#pragma once
// Window "Grupy"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormGrupy : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormGrupy(QWidget *parent = nullptr);
};
