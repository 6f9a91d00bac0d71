#include "app/UProgram.h"

#include "data/UDM.h"
#include "app/UDataFiles.h"
#include "app/UDemo.h"
#include "app/UEditorLinks.h"
#include "app/UFormPowtNazwy.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "app/UKonfig.h"
#include "app/UMessages.h"
#include "app/UOSH.h"
#include "editors/UOdczyt.h"
#include "reports/UPF.h"
#include "app/UPlacement.h"
#include "data/URecentFolders.h"
#include "reports/URaporty.h"
#include "app/UUstawienia.h"
#include "app/UWait.h"
#include "app/UWhatLoad.h"
#include "app/UWhatSave.h"
#include "editors/UWyslanie.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>

namespace {
// Placement sections: window, section, whether the state is kept.
struct TPlacementEntry {
    const char *Window;
    const char *Section;
    bool WithState;
};
const TPlacementEntry PlacementEntries[] = {
    {"FormMain", "FormMain", true},         {"FormRaporty", "FormRaporty", true},
    {"FormPF", "PF", false},                {"FormGrupy", "FormGrupy", true},
    {"FormKody", "FormKody", true},         {"FormKaucje", "FormKaucje", true},
    {"FormPowtNazwy", "FormPowtNazwy", true},
};
} // namespace

TProgram::TProgram(TSettingsEnv env, IDataFiles *files)
    : m_env(std::move(env)), m_settings(AppSettings()), m_dm(std::make_unique<TDM>())
{
    if (!files) {
        m_ownFiles = std::make_unique<TOrvanDataFiles>(*m_dm);
        files = m_ownFiles.get();
    }
    m_files = files;
    DM = m_dm.get();
}

TProgram::~TProgram()
{
    StopDemo();
    // Windows go in the reverse order of their making.
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
        delete *it;
    if (DM == m_dm.get())
        DM = nullptr;
    AppRecentFolders().SetPlacementFile(QString());
}

bool TProgram::StartUp()
{
    try {
        SettingsStartUp(m_settings, m_env, [this](TSettings &s) {
            m_dm->ApplyProfile(s.Kasa, s.Kaucje, s.Eprom235);
            s.Kasa = m_dm->Kasa;
            s.Kaucje = m_dm->Kaucje;
            s.Eprom235 = m_dm->Eprom235;
        });
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
    return true;
}

template <class T, class... A> T *TProgram::Make(A &&...args)
{
    T *window = new T(std::forward<A>(args)...);
    m_created.push_back(window);
    m_order << window->objectName();
    for (const TPlacementEntry &e : PlacementEntries)
        if (window->objectName() == QLatin1String(e.Window))
            RestoreWindowEntry(window, PlacementFile(), QLatin1String(e.Section), e.WithState);
    return window;
}

void TProgram::CreateWindows()
{
    AppRecentFolders().SetPlacementFile(PlacementFile());
    m_main = Make<TFormMain>(m_settings, *m_dm);
    if (m_settings.TempPrefix.isEmpty())
        AppMessages().Information(NoTempDirText);
    m_windows.FormKody = Make<TFormKody>();
    m_order << QStringLiteral("DM"); // made before the settings were read
    m_windows.FormGrupy = Make<TFormGrupy>();
    m_windows.FormKaucje = Make<TFormKaucje>();
    m_windows.FormOdczyt = Make<TFormOdczyt>();
    m_windows.FormUstawienia = Make<TFormUstawienia>(m_settings);
    m_windows.FormWait = Make<TFormWait>();
    m_windows.FormWhatSave = Make<TFormWhatSave>();
    m_windows.FormWhatLoad = Make<TFormWhatLoad>();
    m_windows.FormWyslanie = Make<TFormWyslanie>();
    m_windows.FormKonfig = Make<TFormKonfig>(m_main->KonfigLogic());
    m_windows.FormRaporty = Make<TFormRaporty>();
    m_windows.FormOSH = Make<TFormOSH>(m_settings);
    m_windows.FormPowtNazwy = Make<TFormPowtNazwy>();
    m_windows.FormKodyWKasie = Make<TFormKodyWKasie>();
    m_windows.FormGrupyWKasie = Make<TFormGrupyWKasie>();
    m_windows.FormKaucjeWKasie = Make<TFormKaucjeWKasie>();
    m_windows.FormPF = Make<TFormPF>();

    m_windows.FormOSH->SetPortNameProvider([this] { return JobPortName(); });
    m_windows.FormOSH->SetFolder(m_settings.TempPrefix.isEmpty() ? QDir::currentPath()
                                                                  : QFileInfo(m_settings.TempPrefix).absolutePath());
    m_main->Attach(m_windows, *m_files);
    m_editorLinks = std::make_unique<TEditorLinks>(m_windows, m_settings, *m_dm, m_main->Commands());
    // While the windows still exist: the end of the event loop comes later.
    m_main->OnClosing = [this] { SavePlacements(); };
    m_windows.FormRaporty->SetDepositsItemEnabled(m_settings.Kaucje);
    // The report windows reach the register and the boxes as the editors do.
    m_windows.FormRaporty->SetEnv(m_editorLinks->Env());
    m_windows.FormRaporty->TickReadOptions = [odczyt = m_windows.FormOdczyt] {
        for (const char *box : {"CBZLicznikami", "CBUsunPrzedTransmisja"})
            if (auto *check = odczyt->findChild<QCheckBox *>(QLatin1String(box)))
                check->setChecked(true);
    };
    m_windows.FormPF->SetEnv(m_editorLinks->Env());
}

QString TProgram::PlacementFile() const
{
    return PlacementFilePath(m_env.ConfigDir);
}

QString TProgram::JobPortName() const
{
    return m_demo ? DemoPortName : m_settings.portname;
}

void TProgram::StartDemo(TClock &clock)
{
    if (m_demo)
        return;
    m_demo = std::make_unique<TDemoRegister>();
    if (TFormOSH *osh = m_windows.FormOSH)
        osh->SetModuleRunner(LineModuleRunner(m_demo->LineFactory(), clock));
    if (TFormUstawienia *ustawienia = m_windows.FormUstawienia)
        ustawienia->SetQueryRunner(m_demo->QueryRunner(clock));
    if (m_main)
        m_main->SetDemo(true);
}

void TProgram::StopDemo()
{
    if (!m_demo)
        return;
    if (TFormOSH *osh = m_windows.FormOSH)
        osh->SetModuleRunner(DefaultModuleRunner());
    if (TFormUstawienia *ustawienia = m_windows.FormUstawienia)
        ustawienia->SetQueryRunner(PortQueryRunner(SteadyClock()));
    m_demo.reset();
    if (m_main)
        m_main->SetDemo(false);
}

void TProgram::SavePlacements()
{
    for (const QWidget *window : m_created) {
        // A window never shown keeps the entry it had.
        if (!window->testAttribute(Qt::WA_WState_Created))
            continue;
        for (const TPlacementEntry &e : PlacementEntries)
            if (window->objectName() == QLatin1String(e.Window))
                SaveWindowEntry(window, PlacementFile(), QLatin1String(e.Section), e.WithState);
    }
    m_placementsSaved = true;
}

void TProgram::Exit()
{
    // The main window's close has written them; an end of the run without
    // it (the session ends) writes them here.
    if (!m_placementsSaved)
        SavePlacements();
    try {
        SettingsSave(m_settings, m_env);
    } catch (...) {
        HandleException(std::current_exception());
    }
}
