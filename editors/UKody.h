#pragma once
// Window "Kody": the codes editor (MDKody); several rows can be selected.
#include "editors/UEditorForm.h"

class TFormKody : public TTableForm {
    Q_OBJECT
public:
    explicit TFormKody(QWidget *parent = nullptr);
};
