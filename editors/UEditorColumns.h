#pragma once
// The columns of the three tables' grids, shared by each editor and its
// in-register view.
#include "editors/UTableModel.h"

QList<TGridColumn> GrupyColumns();
QList<TGridColumn> KodyColumns();
QList<TGridColumn> KaucjeColumns();
