#pragma once
// Window "Kody"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormKody : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormKody(QWidget *parent = nullptr);
};
