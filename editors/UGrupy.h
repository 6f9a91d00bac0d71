#pragma once
// Window "Grupy": the groups editor (MDGrupy).
#include "editors/UEditorForm.h"

class TFormGrupy : public TTableForm {
    Q_OBJECT
public:
    explicit TFormGrupy(QWidget *parent = nullptr);
};
