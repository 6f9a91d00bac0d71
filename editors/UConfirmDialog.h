#pragma once
// What the dialogs before a read and a send share: a confirm and a cancel
// button, "&Ustawienia" opening the transmission settings, and a modal run
// that a test can answer instead.
#include <QDialog>
#include <QPushButton>
#include <functional>

template <class Form>
class TConfirmDialog : public QDialog {
public:
    // "&Ustawienia": the transmission settings dialog (given by the program).
    std::function<void()> OnUstawienia;
    // Runs instead of the modal loop (tests): returns whether to confirm.
    std::function<bool(Form &)> OnExec;

protected:
    explicit TConfirmDialog(QWidget *parent) : QDialog(parent) {}

    // After setupUi.
    void Bind(const QString &objectName, QPushButton *confirm, QPushButton *cancel, QPushButton *settings)
    {
        setObjectName(objectName);
        setFixedSize(sizeHint());
        connect(confirm, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(settings, &QPushButton::clicked, this, [this] {
            if (OnUstawienia)
                OnUstawienia();
        });
    }

    bool RunModal() { return OnExec ? OnExec(static_cast<Form &>(*this)) : exec() == QDialog::Accepted; }
};
