#pragma once
// Window "Kaucje": the deposits editor (MDKaucje).
#include "editors/UEditorForm.h"

class TFormKaucje : public TTableForm {
    Q_OBJECT
public:
    explicit TFormKaucje(QWidget *parent = nullptr);
};
