#pragma once
// Window "Kody w kasie": the codes as last read from the register, read-only.
#include "editors/UEditorForm.h"

class TFormKodyWKasie : public TTableForm {
    Q_OBJECT
public:
    explicit TFormKodyWKasie(QWidget *parent = nullptr);
};
