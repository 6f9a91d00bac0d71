#include "app/UMain.h"

#include "app/UAbout.h"
#include "data/UDM.h"
#include "app/UDemo.h"
#include "editors/UEditorEnv.h"
#include "data/UErrors.h"
#include "app/UFormPowtNazwy.h"
#include "data/UGlobals.h"
#include "editors/UGrupy.h"
#include "app/UIcons.h"
#include "data/UOrvanIO.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "app/UOSH.h"
#include "reports/UPF.h"
#include "reports/URaporty.h"
#include "app/UUstawienia.h"
#include "app/UWait.h"
#include "app/UWhatLoad.h"
#include "app/UWhatSave.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {
const QString DataFilter = QStringLiteral("Pliki Orvan (*.otx)");
}

QString SaveDialogProblem(const QString &file)
{
    if (const QString problem = SaveTargetProblem(file); !problem.isEmpty())
        return problem;
    const QFileInfo info(file);
    if (!info.dir().exists())
        return QStringLiteral("Folder \"%1\" nie istnieje. Wybierz istniejący folder.")
            .arg(QDir::toNativeSeparators(info.absolutePath()));
    if (info.exists() && !info.isWritable())
        return QStringLiteral("Plik \"%1\" jest tylko do odczytu.").arg(QDir::toNativeSeparators(file));
    return QString();
}

TFormMain::TFormMain(TSettings &settings, TDM &dm, QWidget *parent)
    : QMainWindow(parent), m_settings(settings), m_dm(dm), m_konfig(settings, dm, this)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(ProductName + QStringLiteral(" - ") + MakerName);

    auto *row1 = new QToolBar(this);
    row1->setObjectName(QStringLiteral("ToolBar1"));
    auto *row2 = new QToolBar(this);
    row2->setObjectName(QStringLiteral("ToolBar2"));
    for (QToolBar *bar : {row1, row2}) {
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(20, 20));
        bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    addToolBar(Qt::TopToolBarArea, row1);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, row2);

    connect(AddButton(row1, QStringLiteral("TBWczytaj"), QStringLiteral("&Wczytaj"), QStringLiteral("wczytaj")),
            &QToolButton::clicked, this, [this] { RunCommand([this] { m_commands->Load(); }); });
    connect(AddButton(row1, QStringLiteral("TBZapisz"), QStringLiteral("&Zapisz"), QStringLiteral("zapisz")),
            &QToolButton::clicked, this, [this] { RunCommand([this] { m_commands->Save(); }); });
    row1->addSeparator();
    connect(AddButton(row1, QStringLiteral("TBRaporty"), QStringLiteral("&Raporty"), QStringLiteral("raporty")),
            &QToolButton::clicked, this, [this] { ShowModeless(m_windows.FormRaporty); });
    row1->addSeparator();
    connect(AddButton(row1, QStringLiteral("TBGrupy"), QStringLiteral("&Grupy"), QStringLiteral("grupy")),
            &QToolButton::clicked, this, [this] { ShowModeless(m_windows.FormGrupy); });
    connect(AddButton(row1, QStringLiteral("TBKody"), QStringLiteral("&Kody"), QStringLiteral("kody")),
            &QToolButton::clicked, this, [this] { ShowModeless(m_windows.FormKody); });
    connect(AddButton(row1, QStringLiteral("TBKaucje"), QStringLiteral("K&aucje"), QStringLiteral("kaucje")),
            &QToolButton::clicked, this, [this] { ShowModeless(m_windows.FormKaucje); });

    connect(AddButton(row2, QStringLiteral("TBAbout"), QStringLiteral("&O programie"), QStringLiteral("about")),
            &QToolButton::clicked, this, [this] { RunCommand([this] { About(); }); });
    row2->addSeparator();
    connect(AddButton(row2, QStringLiteral("TBKOM"), QStringLiteral("&Ustawienia"), QStringLiteral("ustawienia")),
            &QToolButton::clicked, this, [this] { RunCommand([this] { Ustawienia(); }); });
    connect(AddButton(row2, QStringLiteral("TBKonfig"), QStringLiteral("Kon&figuracja"), QStringLiteral("konfig")),
            &QToolButton::clicked, this, [this] { RunCommand([this] { m_commands->Konfig(); }); });
    row2->addSeparator();
    connect(AddButton(row2, QStringLiteral("TBPF"), QStringLiteral("&PF"), QStringLiteral("pf")),
            &QToolButton::clicked, this, [this] { ShowModeless(m_windows.FormPF); });

    Button(QStringLiteral("TBKaucje"))->setEnabled(m_dm.RegisterProfile.DepositsTable);
    // Own labels rather than the bar's messages, which would hide the file name.
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    const struct {
        QLabel *&label;
        const char *name;
        int stretch;
    } labels[] = {{m_status, "LbStatus", 1}, {m_file, "LbPlik", 0}, {m_demo, "LbDemo", 0}};
    for (const auto &l : labels) {
        l.label = new QLabel(bar);
        l.label->setObjectName(QLatin1String(l.name));
        // A long text is cut at the window's fixed width; its tip shows it whole.
        l.label->setMinimumWidth(1);
        if (l.stretch)
            bar->addWidget(l.label, l.stretch);
        else
            bar->addPermanentWidget(l.label);
    }
    m_demo->setText(DemoStatusText);
    m_demo->hide();
    setCentralWidget(new QWidget(this));
    centralWidget()->setFixedHeight(0);
    setFixedSize(sizeHint().expandedTo(QSize(6 * 91 + 40, 2 * 39 + 8)));
}

TFormMain::~TFormMain() = default;

QToolButton *TFormMain::AddButton(QToolBar *bar, const QString &name, const QString &caption, const QString &icon)
{
    // Own buttons rather than actions, so that the caption shows its
    // accelerator underlined and Alt+letter presses it.
    auto *button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(ToolIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setMinimumSize(91, 39);
    bar->addWidget(button);
    return button;
}

QToolButton *TFormMain::Button(const QString &name) const
{
    return findChild<QToolButton *>(name);
}

void TFormMain::Attach(const TWindows &windows, IDataFiles &files)
{
    m_windows = windows;
    m_commands = std::make_unique<TMainCommands>(m_settings, m_dm, m_konfig, files, *this, *windows.FormWait);
    m_commands->SetStatus(this);
}

void TFormMain::ShowStatus(const QString &text)
{
    m_status->setText(text);
    m_status->setToolTip(text);
}

void TFormMain::ShowFile(const QString &text)
{
    m_file->setText(text);
    m_file->setToolTip(text);
}

void TFormMain::SetDemo(bool demo)
{
    m_demo->setVisible(demo);
}

void TFormMain::ShowModeless(QWidget *window)
{
    BringForward(window);
}

void TFormMain::SetDepositsButtonEnabled(bool enabled)
{
    Button(QStringLiteral("TBKaucje"))->setEnabled(enabled);
}

void TFormMain::SetReportsDepositsItem(bool kaucje)
{
    if (m_windows.FormRaporty)
        m_windows.FormRaporty->SetDepositsItemEnabled(kaucje);
}

void TFormMain::HideDepositsWindows()
{
    if (m_windows.FormKaucje)
        m_windows.FormKaucje->hide();
    if (m_windows.FormKaucjeWKasie)
        m_windows.FormKaucjeWKasie->hide();
}

std::optional<QString> TFormMain::OpenDataFile(const QString &current)
{
    QFileDialog dialog(this, QStringLiteral("Który plik mam wczytać ?"), current, DataFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("otx"));
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> TFormMain::SaveDataFile(const QString &current)
{
    QFileDialog dialog(this, QStringLiteral("Jaki plik mam zapisać ?"), current, DataFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("otx"));
    if (!current.isEmpty())
        dialog.selectFile(current);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString file = dialog.selectedFiles().constFirst();
        const QString problem = SaveDialogProblem(file);
        if (!problem.isEmpty()) {
            AppMessages().Error(problem);
            continue;
        }
        return file;
    }
}

TSectionSet TFormMain::WhatLoad(const TSectionSet &present, bool &clearBeforeLoad)
{
    // The box keeps its own last state, also after a cancelled dialog.
    const TSectionSet chosen = m_windows.FormWhatLoad->Execute(present);
    clearBeforeLoad = m_windows.FormWhatLoad->ClearBeforeLoad();
    return chosen;
}

TSectionSet TFormMain::WhatSave(bool depositsTable)
{
    return m_windows.FormWhatSave->Execute(depositsTable);
}

bool TFormMain::Konfig()
{
    return m_windows.FormKonfig->exec() == QDialog::Accepted;
}

void TFormMain::About()
{
    TFormAbout about(this);
    about.exec();
}

void TFormMain::Ustawienia()
{
    m_windows.FormUstawienia->exec();
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        // After the window has appeared.
        QTimer::singleShot(0, this, &TFormMain::FirstShow);
    }
}

void TFormMain::FirstShow()
{
    RunCommand([this] { m_commands->StartUp(); });
    if (OnStartedUp)
        OnStartedUp();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!m_commands || m_commands->CloseQuery()) {
        if (OnClosing)
            OnClosing();
        event->accept();
        // The main window ends the program even with editors open.
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}
