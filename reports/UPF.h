#pragma once
// Window "Pamięć fiskalna"; its commands come with the later work on this window.
#include <QWidget>

class TFormPF : public QWidget {
    Q_OBJECT
public:
    explicit TFormPF(QWidget *parent = nullptr);
};
