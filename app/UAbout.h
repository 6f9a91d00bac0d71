#pragma once
// The About box; created for each showing and destroyed after it.
#include <QDialog>

inline const QString ProductName = QStringLiteral("Orvan277PS Plus");
inline const QString MakerName = QStringLiteral("NOXA S.C.");

namespace Ui {
class TFormAbout;
}

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *parent = nullptr);
    ~TFormAbout() override;
    Ui::TFormAbout *ui;
};
