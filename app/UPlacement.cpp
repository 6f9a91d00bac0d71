#include "app/UPlacement.h"

#include "exchange/UUiHooks.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {
const QString KeyLeft = QStringLiteral("Left");
const QString KeyTop = QStringLiteral("Top");
const QString KeyWidth = QStringLiteral("Width");
const QString KeyHeight = QStringLiteral("Height");
const QString KeyState = QStringLiteral("State"); // 0 normal, 1 minimised, 2 maximised

bool OnSomeScreen(const QRect &rect)
{
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(rect))
            return true;
    return false;
}
} // namespace

void RestorePlacement(QWidget *window, const QString &filePath, const QString &section, bool withState)
{
    QSettings ini(filePath, QSettings::IniFormat);
    ini.beginGroup(section);
    if (!ini.contains(KeyLeft) || !ini.contains(KeyTop))
        return;
    bool ok[4] = {};
    const int left = ini.value(KeyLeft).toInt(&ok[0]);
    const int top = ini.value(KeyTop).toInt(&ok[1]);
    int width = ini.value(KeyWidth, window->width()).toInt(&ok[2]);
    int height = ini.value(KeyHeight, window->height()).toInt(&ok[3]);
    if (!ok[0] || !ok[1])
        return;
    if (!ok[2] || width <= 0 || width > 10000)
        width = window->width();
    if (!ok[3] || height <= 0 || height > 10000)
        height = window->height();
    const QRect rect(left, top, width, height);
    if (!OnSomeScreen(rect))
        return;
    window->move(rect.topLeft());
    if (window->minimumSize() != window->maximumSize())
        window->resize(rect.size());
    if (withState) {
        const int state = ini.value(KeyState, 0).toInt();
        if (state == 1)
            window->setWindowState(window->windowState() | Qt::WindowMinimized);
        else if (state == 2)
            window->setWindowState(window->windowState() | Qt::WindowMaximized);
    }
}

void SavePlacement(const QWidget *window, const QString &filePath, const QString &section, bool withState)
{
    QSettings ini(filePath, QSettings::IniFormat);
    ini.beginGroup(section);
    const QRect rect = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    ini.setValue(KeyLeft, window->pos().x());
    ini.setValue(KeyTop, window->pos().y());
    ini.setValue(KeyWidth, rect.width());
    ini.setValue(KeyHeight, rect.height());
    if (withState) {
        const Qt::WindowStates state = window->windowState();
        ini.setValue(KeyState, state.testFlag(Qt::WindowMinimized) ? 1 : state.testFlag(Qt::WindowMaximized) ? 2 : 0);
    }
    ini.endGroup();
    ini.sync();
}

void RestoreWindowEntry(QWidget *window, const QString &filePath, const QString &section, bool withState)
{
    RestorePlacement(window, filePath, section, withState);
    if (auto *extras = dynamic_cast<IPlacementExtras *>(window))
        extras->RestoreExtras(filePath, section);
}

void SaveWindowEntry(const QWidget *window, const QString &filePath, const QString &section, bool withState)
{
    SavePlacement(window, filePath, section, withState);
    if (const auto *extras = dynamic_cast<const IPlacementExtras *>(window))
        extras->SaveExtras(filePath, section);
}
