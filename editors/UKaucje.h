#pragma once
// Window "Kaucje"; its commands come with the later work on this window.
#include <QMainWindow>

class TFormKaucje : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormKaucje(QWidget *parent = nullptr);
};
