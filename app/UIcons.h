#pragma once
// Tool-bar pictures, drawn as vectors at the size asked for, so they stay
// sharp at every display scaling.
#include <QIcon>
#include <QString>

// Names: "wczytaj", "zapisz", "raporty", "grupy", "kody", "kaucje",
// "about", "ustawienia", "konfig", "pf". An unknown name gives a plain frame.
QIcon ToolIcon(const QString &name);
