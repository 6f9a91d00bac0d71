#include "editors/UEditorForm.h"

#include "editors/UEditorColumns.h"
#include "editors/UEditorExtras.h"

#include "data/UErrors.h"
#include "editors/UFindBar.h"
#include "data/UProfile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

void BringForward(QWidget *window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

namespace {

// What a menu item says for each table: groups, codes, deposits.
struct TTexts {
    const char *Add, *Insert, *Delete, *DeleteAll, *Read, *Send, *ViewRead, *View;
};
const TTexts Texts[] = {
    {"Dodaj grupę (Enter)", "Wstaw grupę", "Usuń grupę/grupy", "Usuń wszystkie grupy", "Odczytaj grupy z kasy",
     "Wyślij grupy do kasy", "&Odczytaj grupy z kasy bo te są już nieaktualne", "Grupy w kasie"},
    {"Dodaj kod (Enter)", "Wstaw kod", "Usuń kod(y)", "Usuń wszystkie kody", "Odczytaj kody z kasy",
     "Wyślij kody do kasy", "&Odczytaj kody z kasy bo te są już nieaktualne", "Kody w kasie"},
    {"Dodaj opakowanie (Enter)", "Wstaw opakowanie", "Usuń opakowanie/a", "Usuń wszystkie opakowania",
     "Odczytaj kaucje z kasy", "Wyślij kaucje do kasy", "&Odczytaj kaucje z kasy bo te są już nieaktualne", "Kaucje w kasie"},
};

// Messages of a window attached without a message sink go nowhere.
class TSilentMessages : public IMessages {
public:
    void Information(const QString &) override {}
    void Error(const QString &) override {}
    TPromptAnswer Ask(const QString &, TAskKind, bool) override { return TPromptAnswer::Cancel; }
};

} // namespace

TTableFormSetup TableFormSetup(TExchangeTable table, bool view)
{
    static const char *const Names[] = {"Grupy", "Kody", "Kaucje"};
    const QString name = QString::fromLatin1(Names[int(table)]);
    const QString suffix = view ? QStringLiteral("WKasie") : QString();
    TTableFormSetup s;
    s.Table = table;
    s.View = view;
    s.ObjectName = QStringLiteral("Form") + name + suffix;
    s.Caption = view ? name + QStringLiteral(" w kasie") : name;
    s.GridName = QStringLiteral("Grid") + name + suffix;
    s.Columns = table == TExchangeTable::Grupy ? GrupyColumns()
                : table == TExchangeTable::Kody ? KodyColumns()
                                                : KaucjeColumns();
    // The codes grid selects rows (several at once); the other editors keep
    // a cell editor open.
    s.AlwaysShowEditor = !view && table != TExchangeTable::Kody;
    s.MultiSelect = !view && table == TExchangeTable::Kody;
    return s;
}

TTableForm::TTableForm(TExchangeTable table, bool inRegisterView, QWidget *parent)
    : QMainWindow(parent), m_setup(TableFormSetup(table, inRegisterView)), m_grid(new TKvDBGrid(this))
{
    const TTableFormSetup &setup = m_setup;
    setObjectName(setup.ObjectName);
    setWindowTitle(setup.Caption);
    m_grid->setObjectName(setup.GridName);
    setCentralWidget(m_grid);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    // Room for every column at first; the placement file keeps the user's size.
    static const int Widths[] = {900, 760, 620};
    resize(Widths[int(setup.Table)], 420);

    // The find bar above the grid; its keys work from anywhere in the window.
    m_findBar = new TFindBar(this);
    addToolBar(Qt::TopToolBarArea, m_findBar);
    const struct {
        const char *name, *text;
        void (TTableForm::*slot)();
        QKeySequence key;
    } findItems[] = {{"MISzukaj", "Szukaj...", &TTableForm::OpenFind, QKeySequence(Qt::CTRL | Qt::Key_F)},
                     {"MISzukajNastepny", "Szukaj następnego", &TTableForm::FindNext, QKeySequence(Qt::Key_F3)},
                     {"MISzukajPoprzedni", "Szukaj poprzedniego", &TTableForm::FindPrevious,
                      QKeySequence(Qt::SHIFT | Qt::Key_F3)}};
    QList<QAction *> findActions;
    for (const auto &item : findItems) {
        auto *action = new QAction(QString::fromUtf8(item.text), this);
        action->setObjectName(QLatin1String(item.name));
        action->setShortcut(item.key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, slot = item.slot] { (this->*slot)(); });
        addAction(action);
        findActions << action;
    }

    const TTexts &t = Texts[int(setup.Table)];
    if (setup.View) {
        AddAction(nullptr, QStringLiteral("MIOdczytaj"), QString::fromUtf8(t.ViewRead), &TTableForm::ReadForView);
        AddCsvAndChartItems(*this, setup, nullptr);
        return;
    }
    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edycja"));
    m_editMenu->setObjectName(QStringLiteral("MIEdycja"));
    AddAction(m_editMenu, QStringLiteral("MIDodaj"), QString::fromUtf8(t.Add), &TTableForm::Add);
    AddAction(m_editMenu, QStringLiteral("MIWstaw"), QString::fromUtf8(t.Insert), &TTableForm::InsertRecord,
              QKeySequence(Qt::Key_Insert));
    AddAction(m_editMenu, QStringLiteral("MIUsun"), QString::fromUtf8(t.Delete), &TTableForm::DeleteRecords,
              QKeySequence(Qt::CTRL | Qt::Key_Delete));
    AddAction(m_editMenu, QStringLiteral("MIUsunWszystkie"), QString::fromUtf8(t.DeleteAll),
              &TTableForm::DeleteAllRecords);
    m_editMenu->addSeparator();
    AddAction(m_editMenu, QStringLiteral("MICofnij"), QStringLiteral("Cofnij"), &TTableForm::Undo,
              QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction *redo = AddAction(m_editMenu, QStringLiteral("MIPonow"), QStringLiteral("Ponów"), &TTableForm::Redo,
                              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    m_editMenu->addSeparator();
    m_editMenu->addActions(findActions);
    m_transmitMenu = menuBar()->addMenu(QStringLiteral("&Transmisja"));
    m_transmitMenu->setObjectName(QStringLiteral("MITransmisja"));
    AddAction(m_transmitMenu, QStringLiteral("MIOdczytaj"), QString::fromUtf8(t.Read), &TTableForm::Read);
    AddAction(m_transmitMenu, QStringLiteral("MIWyslij"), QString::fromUtf8(t.Send), &TTableForm::Send);
    if (setup.Table == TExchangeTable::Kody) {
        AddAction(m_transmitMenu, QStringLiteral("MIWyslijZaznaczone"), QStringLiteral("Wyślij zaznaczone kody do kasy"),
                  &TTableForm::SendSelected);
        AddAction(m_transmitMenu, QStringLiteral("MIWyslijZmienione"), QStringLiteral("Wyślij zmienione kody do kasy"),
                  &TTableForm::SendChanged);
        AddAction(m_transmitMenu, QStringLiteral("MISkasujZaznaczone"), QStringLiteral("Skasuj zaznaczone kody w kasie"),
                  &TTableForm::DeleteSelectedInRegister);
    }
    // The twin window has no other way in: its caption is the item.
    m_transmitMenu->addSeparator();
    QAction *view = m_transmitMenu->addAction(QString::fromUtf8(t.View));
    view->setObjectName(QStringLiteral("MIWKasie"));
    connect(view, &QAction::triggered, this, [this] { BringForward(m_view); });
    AddAction(nullptr, QStringLiteral("MISprawdz"), QStringLiteral("&Sprawdź poprawność danych"), &TTableForm::Check);
    AddCsvAndChartItems(*this, setup, m_editMenu);

    connect(m_grid, &TKvDBGrid::AddRequested, this, [this] { Add(); });
    connect(m_grid, &TKvDBGrid::InsertRequested, this, [this] { InsertRecord(); });
    connect(m_grid, &TKvDBGrid::DeleteRequested, this, [this] { DeleteRecords(); });
}

TTableForm::~TTableForm() = default;

QAction *TTableForm::AddAction(QMenu *menu, const QString &name, const QString &text, void (TTableForm::*slot)(),
                               const QKeySequence &shortcut)
{
    // A menu bar item without a menu runs its command directly.
    QAction *action = menu ? menu->addAction(text) : menuBar()->addAction(text);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    return action;
}

void TTableForm::SetInRegisterView(QWidget *view)
{
    m_view = view;
    if (QAction *item = Action(QStringLiteral("MIWKasie")))
        item->setEnabled(view != nullptr);
}

QAction *TTableForm::Action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

std::function<CheckResult(int row)> TTableForm::RecordCheck() const
{
    TDM *dm = m_env.DM;
    if (m_setup.View || !dm)
        return {};
    switch (m_setup.Table) {
    case TExchangeTable::Grupy:
        return [dm](int row) { return dm->CheckGrupy(row).Result; };
    case TExchangeTable::Kody:
        return [dm](int row) { return dm->CheckKody(row).Result; };
    case TExchangeTable::Kaucje:
        return [dm](int row) { return dm->CheckKaucje(row).Result; };
    }
    return {};
}

void TTableForm::Attach(const TEditorEnv &env)
{
    m_env = env;
    static TSilentMessages silentFallback;
    IMessages &messages = env.Messages ? *env.Messages : silentFallback;
    const QString file = m_setup.Table == TExchangeTable::Grupy ? env.GrupyFile
                         : m_setup.Table == TExchangeTable::Kody ? env.KodyFile
                                                                 : env.KaucjeFile;
    if (env.Jobs && env.Wait && env.Dialogs)
        m_exchange = std::make_unique<TExchange>(*env.DM, m_setup.Table, file, *env.Jobs, *env.Wait, messages,
                                                 *env.Dialogs);
    m_commands = std::make_unique<TEditorCommands>(*env.DM, m_setup.Table, messages);
    m_commands->SetStatus(this);
    m_commands->SetDuplicatesView(env.Duplicates);
    if (m_exchange) {
        m_exchange->SetStatus(this);
        m_exchange->SetUnsaved(env.Unsaved);
        m_exchange->SetDuplicatesView(env.Duplicates);
    }

    TRxMemoryData &table = m_setup.View ? (m_exchange ? m_exchange->TwinTable()
                                                      : m_setup.Table == TExchangeTable::Grupy ? env.DM->MDGrupyWKasie
                                                        : m_setup.Table == TExchangeTable::Kody ? env.DM->MDKodyWKasie
                                                                                                : env.DM->MDKaucjeWKasie)
                                        : m_commands->Table();
    m_grid->SetTable(table, m_setup.Columns);
    m_findBar->Attach(table, m_grid);
    m_findBar->OnError = [this](const QString &text) {
        if (m_env.Messages)
            m_env.Messages->Error(text);
    };
    if (!m_setup.View) {
        m_history = std::make_unique<TEditHistory>(*env.DM, table);
        m_commands->SetHistory(m_history.get());
    }
    if (m_setup.Table == TExchangeTable::Kody && m_exchange && env.RegisterPort) {
        TDM *dm = env.DM;
        m_memory = std::make_unique<TRegisterMemory>(QString(), [dm, port = env.RegisterPort] {
            return TRegisterMemory::Key(ModelCodeOf(dm->Kasa), port());
        });
        m_exchange->SetRegisterMemory(m_memory.get());
    }
    m_grid->SetMessages(env.Messages);
    m_grid->Model()->SetReadOnly(m_setup.View);
    m_grid->SetMultiSelect(m_setup.MultiSelect);
    m_grid->SetAlwaysShowEditor(m_setup.AlwaysShowEditor);
    m_grid->Model()->SetRecordCheck(RecordCheck());
    if (!m_setup.View)
        m_grid->Model()->SetKeyField(QStringLiteral("Numer"));
    if (!m_pendingLayout.isEmpty())
        m_grid->SetColumnsLayout(m_pendingLayout);
    m_pendingLayout.clear();
}

void TTableForm::RunCommand(const std::function<void()> &command)
{
    m_grid->CommitEditor();
    try {
        command();
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        if (m_env.Messages)
            m_env.Messages->Error(e.Message());
    } catch (const std::exception &e) {
        if (m_env.Messages)
            m_env.Messages->Error(QString::fromUtf8(e.what()));
    }
}

void TTableForm::Add()
{
    if (!m_commands || m_setup.View)
        return;
    RunCommand([this] {
        const QString field = m_commands->Add();
        if (field.isEmpty())
            return;
        m_grid->FocusField(field, m_setup.AlwaysShowEditor);
    });
}

void TTableForm::InsertRecord()
{
    if (!m_commands || m_setup.View)
        return;
    RunCommand([this] {
        if (!m_grid->Model()->LeaveRow())
            return;
        m_commands->Insert();
        m_grid->setFocus();
    });
}

void TTableForm::DeleteRecords()
{
    if (!m_commands || m_setup.View)
        return;
    RunCommand([this] {
        m_commands->Delete(*m_grid);
        m_grid->clearSelection();
    });
}

void TTableForm::DeleteAllRecords()
{
    if (m_commands && !m_setup.View)
        RunCommand([this] { m_commands->DeleteAll(); });
}

void TTableForm::Check()
{
    if (m_commands && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_commands->Check();
        });
}

void TTableForm::Read()
{
    if (m_exchange && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_exchange->Read();
        });
}

void TTableForm::Send()
{
    if (m_exchange && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_exchange->SendAll();
        });
}

void TTableForm::SendSelected()
{
    if (m_exchange && m_setup.Table == TExchangeTable::Kody && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_exchange->SendSelected(*m_grid);
        });
}

void TTableForm::DeleteSelectedInRegister()
{
    if (m_exchange && m_setup.Table == TExchangeTable::Kody && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_exchange->DeleteSelected(*m_grid);
        });
}

void TTableForm::SendChanged()
{
    if (m_exchange && m_setup.Table == TExchangeTable::Kody && !m_setup.View)
        RunCommand([this] {
            if (m_grid->Model()->LeaveRow())
                m_exchange->SendChanged();
        });
}

void TTableForm::Undo()
{
    if (m_history)
        RunCommand([this] { m_history->Undo(); });
}

void TTableForm::Redo()
{
    if (m_history)
        RunCommand([this] { m_history->Redo(); });
}

void TTableForm::OpenFind() { m_findBar->Open(); }

void TTableForm::FindNext() { m_findBar->FindNext(); }

void TTableForm::FindPrevious() { m_findBar->FindPrevious(); }

void TTableForm::ReadForView()
{
    if (m_exchange)
        RunCommand([this] { m_exchange->ReadForView(); });
}

bool TTableForm::EndPendingEdit()
{
    m_grid->CommitEditor();
    return !m_grid->Model() || m_grid->Model()->LeaveRow();
}

void TTableForm::closeEvent(QCloseEvent *event)
{
    if (!m_setup.View && !EndPendingEdit()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TTableForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !m_grid->Model())
        return;
    if (isActiveWindow())
        Activated();
    else if (!m_setup.View)
        // Decide once the other window is active: a message box or dialog
        // of our own command is not leaving the editor.
        QTimer::singleShot(0, this, [this] { Deactivated(); });
}

void TTableForm::Activated()
{
    if (m_commands && m_setup.Table == TExchangeTable::Grupy && !m_setup.View)
        m_grid->SetPickList(QStringLiteral("VAT"), m_commands->VatChoices());
    // The profile may have changed meanwhile.
    m_grid->Model()->InvalidateColors();
}

void TTableForm::Deactivated()
{
    if (m_deactivating || isActiveWindow() || QApplication::activeModalWidget() || !QApplication::activeWindow())
        return;
    m_deactivating = true;
    if (!EndPendingEdit())
        BringForward(this);
    m_deactivating = false;
}

void TTableForm::ShowStatus(const QString &text)
{
    statusBar()->showMessage(text);
}

void TTableForm::SaveExtras(const QString &placementFile, const QString &section) const
{
    if (m_grid->Model())
        m_grid->SaveLayout(placementFile, section, m_setup.GridName + QStringLiteral(".Columns"));
}

void TTableForm::RestoreExtras(const QString &placementFile, const QString &section)
{
    if (m_grid->Model()) {
        m_grid->RestoreLayout(placementFile, section, m_setup.GridName + QStringLiteral(".Columns"));
        return;
    }
    // Not bound yet: the layout waits for Attach.
    QSettings ini(placementFile, QSettings::IniFormat);
    const QVariant value = ini.value(section + u'/' + m_setup.GridName + QStringLiteral(".Columns"));
    m_pendingLayout = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
}
