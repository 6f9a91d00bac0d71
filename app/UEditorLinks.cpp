#include "app/UEditorLinks.h"

#include "app/UFormPowtNazwy.h"
#include "data/UGlobals.h"
#include "editors/UGrupy.h"
#include "editors/UKaucje.h"
#include "editors/UKody.h"
#include "app/UMessages.h"
#include "app/UOSH.h"
#include "editors/UOdczyt.h"
#include "app/UUstawienia.h"
#include "app/UWait.h"
#include "editors/UWyslanie.h"

// The program's message boxes as they are when a message comes (a test or
// the screenshot driver may have put its own in place meanwhile).
class TEditorLinks::TAppMessages : public IMessages {
public:
    void Information(const QString &text) override { AppMessages().Information(text); }
    void Error(const QString &text) override { AppMessages().Error(text); }
    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override
    {
        return AppMessages().Ask(text, kind, withCancel);
    }
};

TEditorLinks::TEditorLinks(const TWindows &windows, TSettings &settings, TDM &dm, IUnsavedChanges *unsaved)
    : m_messages(std::make_unique<TAppMessages>())
{
    TFormOSH *osh = windows.FormOSH;
    m_jobs = std::make_unique<TFunctionJobRunner>([osh](const TJobRequest &request) { osh->Run(request); });
    m_dialogs = std::make_unique<TExchangeDialogs>(windows.FormOdczyt, windows.FormWyslanie);
    TFormUstawienia *ustawienia = windows.FormUstawienia;
    windows.FormOdczyt->OnUstawienia = [ustawienia] { ustawienia->exec(); };
    windows.FormWyslanie->OnUstawienia = [ustawienia] { ustawienia->exec(); };
    windows.FormWyslanie->VerifySetting = &settings.SprawdzPoWyslaniu;

    m_env.DM = &dm;
    m_env.Messages = m_messages.get();
    m_env.Wait = windows.FormWait;
    m_env.Jobs = m_jobs.get();
    m_env.Dialogs = m_dialogs.get();
    m_env.Duplicates = windows.FormPowtNazwy;
    m_env.Unsaved = unsaved;
    m_env.RegisterPort = [osh] { return osh->PortName(); };
    m_env.GrupyFile = settings.GrupyFile;
    m_env.KodyFile = settings.KodyFile;
    m_env.KaucjeFile = settings.KaucjeFile;
    for (TTableForm *form : std::initializer_list<TTableForm *>{windows.FormGrupy, windows.FormKody, windows.FormKaucje,
                                                                 windows.FormGrupyWKasie, windows.FormKodyWKasie,
                                                                 windows.FormKaucjeWKasie})
        if (form)
            form->Attach(m_env);
    windows.FormGrupy->SetInRegisterView(windows.FormGrupyWKasie);
    windows.FormKody->SetInRegisterView(windows.FormKodyWKasie);
    windows.FormKaucje->SetInRegisterView(windows.FormKaucjeWKasie);
    if (windows.FormPowtNazwy)
        windows.FormPowtNazwy->Attach(dm, m_messages.get(), windows.FormGrupy, windows.FormKody);
}

TEditorLinks::~TEditorLinks() = default;
