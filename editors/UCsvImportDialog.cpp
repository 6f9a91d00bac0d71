#include "editors/UCsvImportDialog.h"
#include "ui_UCsvImportDialog.h"

#include "data/UErrors.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QTableView>

#include <algorithm>

// The preview rows: line, verdict, then what goes into each field.
class TCsvPreviewModel : public QAbstractTableModel {
public:
    explicit TCsvPreviewModel(TCsvImport &import, QObject *parent) : QAbstractTableModel(parent), m_import(import) {}
    void Reload()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_import.Preview().size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 2 + m_import.Target().FieldCount();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        if (section == 0)
            return QStringLiteral("Wiersz");
        if (section == 1)
            return QStringLiteral("Stan");
        return m_import.Target().Field(section - 2).DisplayName();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return QVariant();
        const TCsvPreviewRow &row = m_import.Preview()[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            if (index.column() == 0)
                return row.Line;
            if (index.column() == 1)
                return row.Fine ? FineStatus(row) : row.Message;
            return m_import.PreviewText(index.row(), index.column() - 2);
        case Qt::ToolTipRole:
            return row.Fine ? QVariant() : QVariant(row.Message);
        case Qt::BackgroundRole:
            if (!row.Fine)
                return QBrush(row.Duplicate ? QColor(255, 200, 120) : QColor(255, 170, 170));
            if (row.Truncated || row.LettersReplaced)
                return QBrush(QColor(255, 255, 170));
            return QVariant();
        default:
            return QVariant();
        }
    }

private:
    static QString FineStatus(const TCsvPreviewRow &row)
    {
        if (row.Truncated && row.LettersReplaced)
            return QStringLiteral("dobry (nazwa skrócona, litery zamienione)");
        if (row.Truncated)
            return QStringLiteral("dobry (nazwa skrócona)");
        if (row.LettersReplaced)
            return QStringLiteral("dobry (litery zamienione)");
        return QStringLiteral("dobry");
    }
    TCsvImport &m_import;
};

TFormImportCsv::TFormImportCsv(TDM &dm, int section, const QString &fileName, QWidget *parent)
    : QDialog(parent), ui(nullptr), m_import(dm, section), m_model(nullptr)
{
    QSettings settings;
    try {
        m_import.SetColumns(ParseCsvColumnSpec(settings.value(SettingsKey()).toString(), m_import.Target()));
    } catch (const Exception &) {
        // a remembered choice that no longer fits is dropped
    }
    m_import.LoadFile(fileName); // before any widget exists: a refusal leaves nothing behind
    m_import.SetTruncateNames(settings.value(SettingsKey() + QStringLiteral("Skracaj"), false).toBool());
    m_import.SetReplaceLetters(settings.value(SettingsKey() + QStringLiteral("Zamieniaj"), false).toBool());

    ui = new Ui::TFormImportCsv;
    ui->setupUi(this);
    ui->LbPlik->setText(QStringLiteral("Plik: %1").arg(QFileInfo(fileName).fileName()));
    m_model = new TCsvPreviewModel(m_import, this);
    ui->GridPodglad->setModel(m_model);
    ui->GridPodglad->verticalHeader()->hide();
    // One text line per row, fixed height: the preview may hold 9999 rows.
    ui->GridPodglad->setWordWrap(false);
    ui->GridPodglad->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->GridPodglad->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->GridPodglad->viewport()->installEventFilter(this);
    ui->RBZastap->setChecked(settings.value(SettingsKey() + QStringLiteral("Tryb")).toString() == QLatin1String("Zastap"));
    ui->RBUzupelnij->setChecked(!ui->RBZastap->isChecked());

    auto *grid = static_cast<QGridLayout *>(ui->GBKolumny->layout());
    const QStringList fields = m_import.Fields();
    for (int i = 0; i < fields.size(); ++i) {
        const TField &f = m_import.Target().FieldByName(fields.at(i));
        auto *label = new QLabel(f.DisplayName() + u':', ui->GBKolumny);
        auto *box = new QComboBox(ui->GBKolumny);
        box->setObjectName(QStringLiteral("CBKolumna") + f.Name());
        auto *edit = new QLineEdit(ui->GBKolumny);
        edit->setObjectName(QStringLiteral("EdStala") + f.Name());
        label->setBuddy(box);
        const int r = i % 4;
        const int c = (i / 4) * 3;
        grid->addWidget(label, r, c);
        grid->addWidget(box, r, c + 1);
        grid->addWidget(edit, r, c + 2);
        m_choices.push_back({f.Name(), box, edit});
        connect(box, &QComboBox::currentIndexChanged, this, [this] { ChoicesFromControls(); });
        connect(edit, &QLineEdit::editingFinished, this, [this] { ChoicesFromControls(); });
    }
    BuildColumnChoices();

    connect(ui->CBSeparator, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_updating)
            return;
        m_import.SetSeparator(index == 1 ? ',' : index == 2 ? '\t' : ';');
        BuildColumnChoices();
    });
    connect(ui->CBKodowanie, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_updating)
            return;
        m_import.SetEncoding(index == 1 ? TCsvEncoding::Windows1250 : TCsvEncoding::Utf8);
        BuildColumnChoices();
    });
    connect(ui->CBNaglowek, &QCheckBox::toggled, this, [this](bool on) {
        if (m_updating)
            return;
        m_import.SetHeaderRow(on);
        BuildColumnChoices();
    });
    connect(ui->CBSkracaj, &QCheckBox::toggled, this, [this](bool on) {
        m_import.SetTruncateNames(on);
        Refresh();
    });
    connect(ui->CBZamieniaj, &QCheckBox::toggled, this, [this](bool on) {
        m_import.SetReplaceLetters(on);
        Refresh();
    });
    connect(ui->BBOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BBAnuluj, &QPushButton::clicked, this, &QDialog::reject);
}

TFormImportCsv::~TFormImportCsv()
{
    ui->GridPodglad->viewport()->removeEventFilter(this);
    delete ui;
}

QString TFormImportCsv::SettingsKey() const
{
    return QStringLiteral("ImportCSV/") + SectionNames().at(m_import.Section());
}

TCsvImportMode TFormImportCsv::Mode() const
{
    return ui->RBZastap->isChecked() ? TCsvImportMode::Replace : TCsvImportMode::Merge;
}

QComboBox *TFormImportCsv::ColumnBox(const QString &field) const
{
    for (const TChoice &c : m_choices)
        if (c.Field == field)
            return c.Column;
    return nullptr;
}

QLineEdit *TFormImportCsv::FixedEdit(const QString &field) const
{
    for (const TChoice &c : m_choices)
        if (c.Field == field)
            return c.Fixed;
    return nullptr;
}

// The combo boxes list the file's columns by their header (or first) cell.
void TFormImportCsv::BuildColumnChoices()
{
    m_updating = true;
    ui->CBSeparator->setCurrentIndex(m_import.Separator() == ',' ? 1 : m_import.Separator() == '\t' ? 2 : 0);
    ui->CBKodowanie->setCurrentIndex(m_import.Encoding() == TCsvEncoding::Windows1250 ? 1 : 0);
    ui->CBNaglowek->setChecked(m_import.HeaderRow());
    ui->CBSkracaj->setChecked(m_import.TruncateNames());
    ui->CBZamieniaj->setChecked(m_import.ReplaceLetters());
    const int columns = m_import.ColumnCount();
    for (const TChoice &c : m_choices) {
        c.Column->clear();
        c.Column->addItem(QStringLiteral("(brak)"));
        for (int i = 0; i < columns; ++i)
            c.Column->addItem(m_import.ColumnCaption(i));
        c.Column->addItem(QStringLiteral("Stała wartość"));
    }
    m_updating = false;
    ControlsFromChoices();
}

void TFormImportCsv::ControlsFromChoices()
{
    m_updating = true;
    for (const TChoice &c : m_choices) {
        const auto it = m_import.Columns().find(c.Field);
        int index = 0;
        QString fixed;
        if (it != m_import.Columns().end()) {
            if (it->second.IsFixed()) {
                index = c.Column->count() - 1;
                fixed = it->second.Fixed;
            } else if (it->second.Column + 1 < c.Column->count() - 1) {
                index = it->second.Column + 1;
            }
        }
        c.Column->setCurrentIndex(index);
        c.Fixed->setText(fixed);
        c.Fixed->setEnabled(index == c.Column->count() - 1);
    }
    m_updating = false;
    Refresh();
}

void TFormImportCsv::ChoicesFromControls()
{
    if (m_updating)
        return;
    TCsvColumns columns;
    for (const TChoice &c : m_choices) {
        const int index = c.Column->currentIndex();
        const bool fixed = index == c.Column->count() - 1;
        c.Fixed->setEnabled(fixed);
        if (fixed)
            columns[c.Field] = TCsvSource{-1, c.Fixed->text()};
        else if (index > 0)
            columns[c.Field] = TCsvSource{index - 1, QString()};
    }
    m_import.SetColumns(columns);
    Refresh();
}

void TFormImportCsv::Refresh()
{
    if (m_import.ParseError().isEmpty())
        m_import.BuildPreview();
    m_model->Reload();
    // Widths from the first rows' texts; a long value is read in its
    // tooltip, a message in its column as far as there is room.
    ui->GridPodglad->resizeColumnsToContents();
    m_statusWidth = ui->GridPodglad->columnWidth(1);
    const int widest = ColumnWidthLimit();
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (c != 1)
            ui->GridPodglad->setColumnWidth(c, std::min(ui->GridPodglad->columnWidth(c), widest));
    FitStatusColumn();
    if (!m_import.ParseError().isEmpty())
        ui->LbPodsumowanie->setText(m_import.ParseError());
    else
        ui->LbPodsumowanie->setText(QStringLiteral("Wierszy poprawnych: %1, odrzuconych: %2. Zaimportowane zostaną tylko poprawne wiersze.")
                                        .arg(m_import.FineCount())
                                        .arg(m_import.RefusedCount()));
    ui->BBOk->setEnabled(m_import.ParseError().isEmpty() && m_import.FineCount() > 0);
}

void TFormImportCsv::FitStatusColumn()
{
    QTableView *grid = ui->GridPodglad;
    int others = 0;
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (c != 1)
            others += grid->columnWidth(c);
    const int room = grid->viewport()->width() - others;
    grid->setColumnWidth(1, std::min(m_statusWidth, std::max(ColumnWidthLimit(), room)));
}

int TFormImportCsv::ColumnWidthLimit() const
{
    return fontMetrics().horizontalAdvance(QLatin1Char('M')) * 24;
}

bool TFormImportCsv::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_model && watched == ui->GridPodglad->viewport())
        FitStatusColumn();
    return QDialog::eventFilter(watched, event);
}

void TFormImportCsv::Remember() const
{
    QSettings settings;
    settings.setValue(SettingsKey(), CsvColumnSpecText(m_import.Columns(), m_import.Target()));
    settings.setValue(SettingsKey() + QStringLiteral("Skracaj"), m_import.TruncateNames());
    settings.setValue(SettingsKey() + QStringLiteral("Zamieniaj"), m_import.ReplaceLetters());
    settings.setValue(SettingsKey() + QStringLiteral("Tryb"),
                      Mode() == TCsvImportMode::Replace ? QStringLiteral("Zastap") : QStringLiteral("Uzupelnij"));
}

int TFormImportCsv::Execute(TEditHistory *history)
{
    const bool confirmed = OnExec ? OnExec(*this) : exec() == QDialog::Accepted;
    if (!confirmed)
        return 0;
    ChoicesFromControls();
    Remember();
    try {
        return m_import.Apply(Mode(), history);
    } catch (const Exception &e) {
        QMessageBox::warning(this, windowTitle(), e.Message());
        return 0;
    }
}
