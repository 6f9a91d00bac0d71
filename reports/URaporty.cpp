#include "reports/URaporty.h"
#include "ui_URaporty.h"

#include "editors/UEditorEnv.h"
#include "data/UGlobals.h"
#include "data/URecentFolders.h"

#include <QCloseEvent>
#include <QFileDialog>

TFormRaporty::TFormRaporty(QWidget *parent) : TFormRaporty(AppSettings(), parent) {}

TFormRaporty::TFormRaporty(TSettings &settings, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFormRaporty), m_settings(settings)
{
    ui->setupUi(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    for (int i = 0; i < ui->CLBRaportZ->count(); ++i) {
        QListWidgetItem *item = ui->CLBRaportZ->item(i);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
    }
    // The choice's index is the setting's value.
    const std::optional<TSalesSource> source = SalesSourceOf(m_settings.RaportNaPodst);
    ui->CBNaPodstDanych->setCurrentIndex(source ? StoredSalesSource(*source) : -1);
    // The warning matches the choice from the start, not only after a change.
    ui->LbWarning->setVisible(Source() == TSalesSource::Register);
    AskFileName = [this] { return ChooseFile(); };

    connect(ui->CLBRaportZ, &QListWidget::itemChanged, this, [this] { UpdateButton(); });
    connect(ui->CBNaPodstDanych, &QComboBox::currentIndexChanged, this, [this] { CBNaPodstDanychChange(); });
    connect(ui->BBWykonaj, &QPushButton::clicked, this, [this] { BBWykonajClick(); });
    UpdateButton();
}

TFormRaporty::~TFormRaporty()
{
    m_settings.RaportNaPodst = ui->CBNaPodstDanych->currentIndex();
    delete ui;
}

void TFormRaporty::SetEnv(const TEditorEnv &env)
{
    m_dm = env.DM;
    m_messages = env.Messages;
    m_wait = env.Wait;
    m_unsaved = env.Unsaved;
    m_reads.reset();
    if (env.DM && env.Jobs && env.Wait && env.Messages && env.Dialogs)
        m_reads = std::make_unique<TExchangeSalesReads>(
            *env.DM, TExchangeSalesReads::TFiles{env.GrupyFile, env.KodyFile, env.KaucjeFile}, *env.Jobs, *env.Wait,
            *env.Messages, *env.Dialogs);
}

void TFormRaporty::SetDepositsItemEnabled(bool kaucje)
{
    QListWidgetItem *item = ui->CLBRaportZ->item(2);
    if (kaucje) {
        item->setFlags(item->flags() | Qt::ItemIsEnabled);
    } else {
        item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    UpdateButton();
}

bool TFormRaporty::DepositsItemEnabled() const
{
    return ui->CLBRaportZ->item(2)->flags().testFlag(Qt::ItemIsEnabled);
}

bool TFormRaporty::DepositsItemChecked() const
{
    return ui->CLBRaportZ->item(2)->checkState() == Qt::Checked;
}

TSalesSections TFormRaporty::TickedSections() const
{
    auto ticked = [this](int i) { return ui->CLBRaportZ->item(i)->checkState() == Qt::Checked; };
    return {ticked(0), ticked(1), ticked(2)};
}

std::optional<TSalesSource> TFormRaporty::Source() const
{
    return SalesSourceOf(ui->CBNaPodstDanych->currentIndex());
}

void TFormRaporty::CBNaPodstDanychChange()
{
    ui->LbWarning->setVisible(Source() == TSalesSource::Register);
    m_settings.RaportNaPodst = ui->CBNaPodstDanych->currentIndex();
    UpdateButton();
}

void TFormRaporty::UpdateButton()
{
    ui->BBWykonaj->setEnabled(TSalesReportCommand::CanRun(TickedSections(), Source()));
}

void TFormRaporty::SetBusy(bool busy)
{
    m_busy = busy;
    setEnabled(!busy);
}

QString TFormRaporty::ChooseFile()
{
    QFileDialog dialog(this, QStringLiteral("W jakim pliku mam zapisać raport ?"),
                       AppRecentFolders().StartFolder(TFileKind::SalesReport));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("Arkusz CSV (*.csv)"),
                           QStringLiteral("Wszystkie pliki (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // A name ending in .csv gets the report as one CSV sheet.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter.contains(QLatin1String("*.csv")) ? QStringLiteral("csv") : QStringLiteral("txt"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    AppRecentFolders().Remember(TFileKind::SalesReport, dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

void TFormRaporty::BBWykonajClick()
{
    if (m_busy || !m_dm || !m_reads || !m_messages || !m_wait)
        return;
    const TSalesSections ticked = TickedSections();
    const std::optional<TSalesSource> source = Source();
    if (!TSalesReportCommand::CanRun(ticked, source))
        return;
    const QString fileName = AskFileName ? AskFileName() : QString();
    if (fileName.isEmpty())
        return;
    if (source == TSalesSource::Register && TickReadOptions)
        TickReadOptions();
    TSalesReportMaker maker(*m_dm, *m_reads, *m_wait);
    maker.Unsaved = m_unsaved;
    TSalesReportCommand command(maker, *m_messages, *m_opener);
    command.SetBusy = [this](bool busy) { SetBusy(busy); };
    command.Execute(fileName, ticked, *source);
}

void TFormRaporty::closeEvent(QCloseEvent *event)
{
    if (m_busy)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFormRaporty::reject()
{
    if (!m_busy)
        QDialog::reject();
}
