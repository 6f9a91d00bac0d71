#pragma once
// Window "Grupy w kasie": the groups as last read from the register, read-only.
#include "editors/UEditorForm.h"

class TFormGrupyWKasie : public TTableForm {
    Q_OBJECT
public:
    explicit TFormGrupyWKasie(QWidget *parent = nullptr);
};
