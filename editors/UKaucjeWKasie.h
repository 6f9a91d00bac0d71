#pragma once
// Window "Kaucje w kasie": the deposits as last read from the register, read-only.
#include "editors/UEditorForm.h"

class TFormKaucjeWKasie : public TTableForm {
    Q_OBJECT
public:
    explicit TFormKaucjeWKasie(QWidget *parent = nullptr);
};
