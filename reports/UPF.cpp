#include "reports/UPF.h"
#include "reports/UFiscalChartWindow.h"
#include "ui_UPF.h"

#include "data/UDM.h"
#include "editors/UEditorEnv.h"
#include "data/UErrors.h"
#include "data/UGlobals.h"
#include "data/URecentFolders.h"
#include "reports/core/URowValues.h"

#include <QCalendarWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QRegularExpression>

class TFormPF::TFront : public IJobRunner, public IWaitRunner, public IMessages {
public:
    IJobRunner *Jobs = nullptr;
    IWaitRunner *Wait = nullptr;
    IMessages *Messages = nullptr;

    void Run(const TJobRequest &request) override
    {
        if (!Jobs)
            throw EAbort();
        Jobs->Run(request);
    }
    void Execute(const QString &message, const std::function<void()> &procedure) override
    {
        if (!Wait)
            throw EAbort();
        Wait->Execute(message, procedure);
    }
    void Information(const QString &text) override
    {
        if (Messages)
            Messages->Information(text);
    }
    void Error(const QString &text) override
    {
        if (Messages)
            Messages->Error(text);
    }
    TPromptAnswer Ask(const QString &text, TAskKind kind, bool withCancel) override
    {
        return Messages ? Messages->Ask(text, kind, withCancel) : TPromptAnswer::Cancel;
    }
};

namespace {

// Old report PDFs are removed only from a folder of their own: with no
// temporary folder the prefix is a bare name, and the current folder may
// hold the user's own files of that name.
void DeleteOldPdfs(const QString &reportPrefix)
{
    if (QFileInfo(reportPrefix).isAbsolute())
        TFiscalMemory::DeleteReportPdfs(reportPrefix);
}

QList<TGridColumn> Columns(const QStringList &fields, const QList<int> &widths = {})
{
    QList<TGridColumn> columns;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        TGridColumn c;
        c.FieldName = fields.at(i);
        c.ReadOnly = true;
        c.Width = i < widths.size() ? widths.at(i) : 0;
        columns << c;
    }
    return columns;
}

// The width at which a line edit shows text whole, from its font.
int LineEditWidthFor(const QLineEdit &edit, const QString &text)
{
    QStyleOptionFrame opt;
    opt.initFrom(&edit);
    opt.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, &edit);
    const QMargins margins = edit.textMargins() + edit.contentsMargins();
    // 2 pixels each side between the frame and the text, 1 for the cursor.
    const QSize inner(edit.fontMetrics().horizontalAdvance(text) + 2 * 2 + 1 + margins.left() + margins.right(),
                      edit.fontMetrics().height());
    return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &opt, inner, &edit).width();
}

// The widest NIP the header can hold: 13 of the widest of its characters.
QString WidestNip(const QFontMetrics &metrics)
{
    QChar widest = u'0';
    for (const QChar c : QStringLiteral("0123456789-PL "))
        if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest))
            widest = c;
    return QString(13, widest);
}

} // namespace

TFormPF::TFormPF(QWidget *parent) : TFormPF(AppSettings().PFFile, AppSettings().ReportPrefix, parent) {}

TFormPF::TFormPF(const QString &exchangeFile, const QString &reportPrefix, QWidget *parent)
    : QWidget(parent), ui(new Ui::TFormPF), m_front(std::make_unique<TFront>()), m_reportPrefix(reportPrefix)
{
    ui->setupUi(this);
    setWindowFlag(Qt::Window);
    ui->EdNIP->setMinimumWidth(LineEditWidthFor(*ui->EdNIP, WidestNip(ui->EdNIP->fontMetrics())));
    m_pf = std::make_unique<TFiscalMemory>(*m_front, *m_front, *m_front, exchangeFile, reportPrefix);
    m_pf->ClearAll();

    ui->DEOd->setDate(QDate::currentDate());
    ui->DEDo->setDate(QDate::currentDate());
    ui->DEOd->calendarWidget()->setWindowTitle(QStringLiteral("Wybierz datę"));
    ui->DEDo->calendarWidget()->setWindowTitle(QStringLiteral("Wybierz datę"));

    ui->DBGSumUp->SetTable(m_pf->MTSumUp, Columns(MTSumUpGridColumns(), {48, 110, 110, 55, 55}));
    QList<TGridColumn> daily = Columns(MTPFGridColumns());
    for (TGridColumn &c : daily)
        if (c.FieldName == QLatin1String("Data"))
            c.Width = 80; // pixels, where the other widths are characters
    ui->DBGPF->SetTable(m_pf->MTPF, daily);
    // Reports kept as the register sent them stand out; their note says why.
    ui->DBGPF->Model()->SetRecordCheck([this](int row) {
        return row >= 0 && !StringAt(m_pf->PFFields.Uwagi, row).isEmpty() ? CheckResult::Error : CheckResult::Normal;
    });
    for (TKvDBGrid *grid : {ui->DBGSumUp, ui->DBGPF})
        grid->SetReadOnly(true);

    AskOpenFileName = [this] { return ChooseOpenFile(); };
    AskSaveFileName = [this] { return ChooseSaveFile(); };
    AskSavePdfFileName = [this] { return ChooseSavePdfFile(); };

    connect(ui->DEOd, &QDateEdit::dateChanged, this, [this] { ui->RBData->setChecked(true); });
    connect(ui->DEDo, &QDateEdit::dateChanged, this, [this] { ui->RBData->setChecked(true); });
    connect(ui->NEOd, &QSpinBox::valueChanged, this, [this] { ui->RBNumer->setChecked(true); });
    connect(ui->NEDo, &QSpinBox::valueChanged, this, [this] { ui->RBNumer->setChecked(true); });
    connect(ui->BBOdczyt, &QPushButton::clicked, this, [this] { BBOdczytClick(); });
    connect(ui->BBWczytaj, &QPushButton::clicked, this, [this] { BBWczytajClick(); });
    connect(ui->BBZapisz, &QPushButton::clicked, this, [this] { BBZapiszClick(); });
    connect(ui->BBDrukuj, &QPushButton::clicked, this, [this] { BBDrukujClick(); });
    connect(ui->BBZapiszPDF, &QPushButton::clicked, this, [this] { BBZapiszPDFClick(); });
    connect(ui->BBZamknij, &QPushButton::clicked, this, &QWidget::close);
    AddFiscalChartButton(*this, ui->buttons);

    DeleteOldPdfs(m_reportPrefix);
    ShowState();
}

TFormPF::~TFormPF()
{
    DeleteOldPdfs(m_reportPrefix);
    // The grids watch the fiscal memory's tables: they go before m_pf,
    // which members' destruction would free ahead of the child widgets.
    qDeleteAll(findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    delete ui;
}

void TFormPF::SetEnv(const TEditorEnv &env)
{
    m_dm = env.DM;
    m_front->Jobs = env.Jobs;
    m_front->Wait = env.Wait;
    m_front->Messages = env.Messages;
    for (TKvDBGrid *grid : {ui->DBGSumUp, ui->DBGPF})
        grid->SetMessages(env.Messages);
}

TFiscalReadRange TFormPF::Range() const
{
    if (ui->RBData->isChecked())
        return TFiscalReadRange::Dates(ui->DEOd->date(), ui->DEDo->date());
    if (ui->RBNumer->isChecked())
        return TFiscalReadRange::Numbers(ui->NEOd->value(), ui->NEDo->value());
    return TFiscalReadRange::Full();
}

void TFormPF::ShowState()
{
    ui->EdNrUnikatowy->setText(m_pf->UniqueNumber);
    ui->EdNIP->setText(m_pf->NIP);
    ui->EdNIP->setMinimumWidth(std::max(ui->EdNIP->minimumWidth(), LineEditWidthFor(*ui->EdNIP, m_pf->NIP)));
    ui->EdDataFiskalizacji->setText(m_pf->FiscalizationText());
    ui->NELiczbaMRS->setText(QString::number(m_pf->MrsCount()));
    ui->NELiczbaMRS->setStyleSheet(m_pf->MrsCountAlarm() ? QStringLiteral("background-color: rgb(255, 0, 0);")
                                                         : QString());
    ui->NEIloscParag->setText(QString::number(m_pf->ReceiptsTotal));
    ui->LBClosePF->setText(m_pf->ClosingLabel);
    ui->BBZapisz->setEnabled(m_pf->CanSave());
    ui->BBDrukuj->setEnabled(m_pf->CanPrint());
    ui->BBZapiszPDF->setEnabled(m_pf->CanPrint());
}

void TFormPF::BBOdczytClick()
{
    if (!m_dm)
        return;
    m_pf->Odczytaj(Range(), m_dm->Kasa);
    ShowState();
}

void TFormPF::BBWczytajClick()
{
    const QString fileName = AskOpenFileName ? AskOpenFileName() : QString();
    if (fileName.isEmpty())
        return;
    m_pf->Wczytaj(fileName);
    ShowState();
}

void TFormPF::BBZapiszClick()
{
    if (!m_pf->CanSave())
        return;
    const QString fileName = AskSaveFileName ? AskSaveFileName() : QString();
    if (fileName.isEmpty())
        return;
    m_pf->Zapisz(fileName);
}

void TFormPF::BBDrukujClick()
{
    if (!m_pf->Report())
        return;
    ui->BBDrukuj->setEnabled(false);
    m_pf->Drukuj(m_opener);
    ui->BBDrukuj->setEnabled(m_pf->CanPrint());
}

void TFormPF::BBZapiszPDFClick()
{
    if (!m_pf->CanPrint())
        return;
    const QString fileName = AskSavePdfFileName ? AskSavePdfFileName() : QString();
    if (!fileName.isEmpty())
        m_pf->ZapiszPdf(fileName);
}

namespace {
// The file the user chose, its folder remembered for the next dialog of
// the kind; empty when the dialog was cancelled.
QString ChosenFile(QFileDialog &dialog, TFileKind kind)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    AppRecentFolders().Remember(kind, dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString TFormPF::ChooseOpenFile()
{
    QFileDialog dialog(this, QStringLiteral("Otwórz raport"), AppRecentFolders().StartFolder(TFileKind::FiscalReport));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Raport fiskalny (*.frp)"), QStringLiteral("Wszystkie pliki (*)")});
    dialog.setDefaultSuffix(QStringLiteral("frp"));
    return ChosenFile(dialog, TFileKind::FiscalReport);
}

QString TFormPF::ChooseSaveFile()
{
    QFileDialog dialog(this, QStringLiteral("Zapisz raport"), AppRecentFolders().StartFolder(TFileKind::FiscalReport));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Raport fiskalny (*.frp)")});
    // "frp", so that a report saved as "raport" is listed by "Wczytaj".
    dialog.setDefaultSuffix(QStringLiteral("frp"));
    return ChosenFile(dialog, TFileKind::FiscalReport);
}

QString TFormPF::ChooseSavePdfFile()
{
    QFileDialog dialog(this, QStringLiteral("Zapisz raport PDF"), AppRecentFolders().StartFolder(TFileKind::Pdf));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Dokument PDF (*.pdf)")});
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(QStringLiteral("raport-%1.pdf")
                          .arg(QString(m_pf->UniqueNumber).remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")))));
    return ChosenFile(dialog, TFileKind::Pdf);
}

void TFormPF::SaveExtras(const QString &placementFile, const QString &section) const
{
    ui->DBGSumUp->SaveLayout(placementFile, section, QStringLiteral("DBGSumUp.Columns"));
    ui->DBGPF->SaveLayout(placementFile, section, QStringLiteral("DBGPF.Columns"));
}

void TFormPF::RestoreExtras(const QString &placementFile, const QString &section)
{
    ui->DBGSumUp->RestoreLayout(placementFile, section, QStringLiteral("DBGSumUp.Columns"));
    ui->DBGPF->RestoreLayout(placementFile, section, QStringLiteral("DBGPF.Columns"));
}
