#include "app/ImportDialog.h"
#include "platform/telephony/ModemSettings.h"

#include "app/ContactFiles.h"
#include "app/ImportText.h"
#include "contacts/ContactImport.h"
#include "platform/widgets/Application.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The grid's column titles, in the table's order.
const char *const ColumnTitles[] = {"Ad", "Soyad", "Cep Telefonu", "Ev Telefonu", "İş Telefonu", "Email", "Adres"};

template <typename T> T *Named(T *widget, const char *name, const QString &accessible)
{
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

TImportDialog::TImportDialog(TADOConnection &connection, const QString &file, QWidget *parent)
    : QDialog(parent), FConnection(connection), FOptions(std::make_unique<TImportOptions>()), FReport(std::make_unique<TImportReport>())
{
    FOptions->Place = PhonePlaceOf(LoadDialingLocation());
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("Kişileri İçe Aktar"));
    FOptions->File = file;

    // A long name is shortened in its middle: the dialog stays within the screen.
    const QRect screenArea = (parent ? parent->screen() : screen())->availableGeometry();
    const QString native = QDir::toNativeSeparators(file);
    auto *fileLabel = Named(new QLabel(this), "FileLabel", QStringLiteral("Dosya"));
    fileLabel->setText(fileLabel->fontMetrics().elidedText(native, Qt::ElideMiddle, std::min(600, screenArea.width() / 2)));
    fileLabel->setToolTip(native);
    FKindLabel = Named(new QLabel(this), "KindLabel", QStringLiteral("Dosya türü"));
    EncodingBox = Named(new QComboBox(this), "EncodingBox", QStringLiteral("Kodlama"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Dosya:"), fileLabel);
    form->addRow(QStringLiteral("Türü:"), FKindLabel);
    form->addRow(QStringLiteral("&Kodlama:"), EncodingBox);

    CountsLabel = Named(new QLabel(this), "CountsLabel", QStringLiteral("Sayılar"));
    BlockedLabel = Named(new QLabel(this), "BlockedLabel", QStringLiteral("Uyarı"));
    BlockedLabel->setWordWrap(true);
    ProblemsText = Named(new QPlainTextEdit(this), "ProblemsText", QStringLiteral("Sorunlar"));
    ProblemsText->setReadOnly(true);
    ProblemsText->setLineWrapMode(QPlainTextEdit::NoWrap);
    PreviewTable = Named(new QTableWidget(0, 7, this), "PreviewTable", QStringLiteral("İlk kişiler"));
    QStringList titles;
    for (const char *title : ColumnTitles)
        titles << QString::fromUtf8(title);
    PreviewTable->setHorizontalHeaderLabels(titles);
    PreviewTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PreviewTable->verticalHeader()->setVisible(false);
    // Tab leaves the lists in one step, as it leaves any other box.
    PreviewTable->setTabKeyNavigation(false);
    ProblemsText->setTabChangesFocus(true);

    SkipBadBox =
        Named(new QCheckBox(QStringLiteral("&Hatalı kayıtları atla"), this), "SkipBadBox", QStringLiteral("Hatalı kayıtları atla"));
    AllowDuplicatesBox =
        Named(new QCheckBox(QStringLiteral("Aynı olanları &da ekle"), this), "AllowDuplicatesBox", QStringLiteral("Aynı olanları da ekle"));

    auto *buttons = new QDialogButtonBox(this);
    ImportButton =
        Named(buttons->addButton(QStringLiteral("İçe &Aktar"), QDialogButtonBox::AcceptRole), "ImportButton", QStringLiteral("İçe Aktar"));
    CancelButton =
        Named(buttons->addButton(QStringLiteral("İ&ptal"), QDialogButtonBox::RejectRole), "CancelButton", QStringLiteral("İptal"));
    ImportButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *problemsTitle = new QLabel(QStringLiteral("&Sorunlar:"), this);
    problemsTitle->setBuddy(ProblemsText);
    auto *previewTitle = new QLabel(QStringLiteral("İlk kişi&ler:"), this);
    previewTitle->setBuddy(PreviewTable);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(CountsLabel);
    layout->addWidget(BlockedLabel);
    layout->addWidget(problemsTitle);
    layout->addWidget(ProblemsText, 1);
    layout->addWidget(previewTitle);
    layout->addWidget(PreviewTable, 2);
    layout->addWidget(SkipBadBox);
    layout->addWidget(AllowDuplicatesBox);
    layout->addWidget(buttons);
    resize(QSize(760, 560).boundedTo(screenArea.size()));
    setMaximumSize(screenArea.size());

    Check();
    FFilling = true;
    EncodingBox->addItems(ImportEncodings(FReport->Encoding));
    FFilling = false;
    FOptions->Encoding = FReport->Encoding;

    const auto changed = [this] {
        if (!FFilling)
            Application->Guard([this] { OptionsChanged(); });
    };
    connect(EncodingBox, &QComboBox::currentIndexChanged, this, changed);
    connect(SkipBadBox, &QCheckBox::toggled, this, changed);
    connect(AllowDuplicatesBox, &QCheckBox::toggled, this, changed);
}

TImportDialog::~TImportDialog() = default;

TImportOptions TImportDialog::Options() const
{
    return *FOptions;
}

void TImportDialog::OptionsChanged()
{
    FOptions->Encoding = EncodingBox->currentText();
    FOptions->SkipBad = SkipBadBox->isChecked();
    FOptions->AllowDuplicates = AllowDuplicatesBox->isChecked();
    // Until a new check has answered, nothing is to be imported.
    ImportButton->setEnabled(false);
    FBlocked = QStringLiteral("Dosya bu seçeneklerle okunamadı.");
    BlockedLabel->setText(FBlocked);
    BlockedLabel->setVisible(true);
    Check();
}

void TImportDialog::Check()
{
    TImportReport report;
    bool writes = false;
    try {
        writes = CheckImport(FConnection, *FOptions, report, PreviewRows);
    } catch (const EContactFileError &e) {
        throw Exception(ContactFileErrorText(e));
    }
    *FReport = std::move(report);
    ShowReport(writes);
}

void TImportDialog::ShowReport(bool writes)
{
    FKindLabel->setText(ContactFileKindName(FReport->Kind));
    CountsLabel->setText(ImportCountsText(*FReport));
    FBlocked = ImportBlockedText(*FReport, writes);
    BlockedLabel->setText(FBlocked);
    BlockedLabel->setVisible(!FBlocked.isEmpty());
    ImportButton->setEnabled(true);

    QString problems;
    for (const TImportMessage &message : FReport->Messages)
        problems += ImportMessageLine(message, FReport->Kind) + u'\n';
    if (const QString more = MessagesLeftOutLine(*FReport); !more.isEmpty())
        problems += more + u'\n';
    ProblemsText->setPlainText(problems);

    PreviewTable->setRowCount(int(FReport->Preview.size()));
    for (int row = 0; row < int(FReport->Preview.size()); ++row)
        for (int column = 0; column < 7; ++column)
            PreviewTable->setItem(row, column, new QTableWidgetItem(FReport->Preview[std::size_t(row)][std::size_t(column)]));
}

void TImportDialog::accept()
{
    if (!FBlocked.isEmpty()) {
        Application->ShowMessage(FBlocked);
        return;
    }
    QDialog::accept();
}
