#pragma once
// Window "Kaucje": the deposits editor (MDKaucje).
#include "UEditorForm.h"

class TFormKaucje : public TTableForm {
    Q_OBJECT
public:
    explicit TFormKaucje(QWidget *parent = nullptr);
};
