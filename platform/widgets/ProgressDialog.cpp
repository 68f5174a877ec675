#include "platform/widgets/ProgressDialog.h"

#include "platform/widgets/Application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

namespace {

int WorkingDepth = 0;
int PauseDepth = 0;
std::vector<TProgressDialogSink *> Sinks; // every sink alive, for a pause to find their dialogs
constexpr int BarSteps = 1000;

// The dialog itself: Esc and the window's close button ask to stop, like
// "İptal", and only when the work may stop; the work closes the dialog.
class TDialog final : public QDialog {
public:
    using QDialog::QDialog;
    std::function<void()> OnCancel;
    bool Cancellable = false;

    void reject() override
    {
        if (Cancellable && OnCancel)
            OnCancel();
    }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        reject();
    }
};

QString Count(qint64 n)
{
    return QLocale(QLocale::Turkish, QLocale::Turkey).toString(n);
}

} // namespace

TProgressDialogSink::TProgressDialogSink(std::chrono::milliseconds delay) : FDelay(delay)
{
    Sinks.push_back(this);
}

TProgressDialogSink::~TProgressDialogSink()
{
    std::erase(Sinks, this);
    WorkingDepth -= int(FPieces.size());
    delete FDialog;
}

bool TProgressDialogSink::Working()
{
    return WorkingDepth > 0;
}

void TProgressDialogSink::Begin(const QString &what, qint64, bool cancellable)
{
    if (FPieces.empty()) {
        FStart = std::chrono::steady_clock::now();
        FCancelRequested = false;
    }
    FPieces.push_back({what, cancellable});
    ++WorkingDepth;
}

void TProgressDialogSink::End()
{
    if (FPieces.empty())
        return;
    FPieces.pop_back();
    --WorkingDepth;
    if (FPieces.empty()) {
        delete FDialog;
        FCancelRequested = false;
    }
}

bool TProgressDialogSink::Update(qint64 done, qint64 total, const QString &text)
{
    if (FPieces.empty())
        return true;
    const TPiece &piece = FPieces.back();
    if (PauseDepth > 0)
        return !(FCancelRequested && piece.Cancellable);
    if (FDialog && FDialog->isHidden())
        FDialog->show();
    if (!FDialog) {
        if (std::chrono::steady_clock::now() - FStart < FDelay)
            return !(FCancelRequested && piece.Cancellable);
        ShowDialog();
    }

    FWhat->setText(text.isEmpty() ? piece.What : piece.What + u'\n' + text);
    if (total > 0) {
        FBar->setRange(0, BarSteps);
        FBar->setValue(int(qBound<qint64>(0, done, total) * BarSteps / total));
        FCount->setText(QStringLiteral("%1 / %2").arg(Count(done), Count(total)));
    } else {
        FBar->setRange(0, 0);                                // busy: how far is not known
        FCount->setText(done > 0 ? Count(done) : QString()); // work that counts nothing shows no number
    }
    static_cast<TDialog *>(FDialog.data())->Cancellable = piece.Cancellable;
    FCancel->setVisible(piece.Cancellable);
    FCancel->setEnabled(!FCancelRequested);

    // The window paints and the dialog answers; the dialog is modal, so no
    // input reaches anything else.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !(FCancelRequested && piece.Cancellable);
}

void TProgressDialogSink::CancelRequested()
{
    FCancelRequested = true;
    if (FCancel)
        FCancel->setEnabled(false);
}

void TProgressDialogSink::ShowDialog()
{
    QWidget *parent = Application ? Application->MainWindow() : nullptr;
    auto *dialog = new TDialog(parent);
    dialog->OnCancel = [this] { CancelRequested(); };
    dialog->setObjectName(QStringLiteral("ProgressDialog"));
    dialog->setWindowTitle(Application ? Application->Title() : QString());
    dialog->setAccessibleName(QStringLiteral("İşlem sürüyor"));
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog->setMinimumWidth(360);

    FWhat = new QLabel(dialog);
    FWhat->setObjectName(QStringLiteral("ProgressWhat"));
    FWhat->setWordWrap(true);
    FBar = new QProgressBar(dialog);
    FBar->setObjectName(QStringLiteral("ProgressBar"));
    FBar->setAccessibleName(QStringLiteral("İlerleme"));
    FBar->setTextVisible(false);
    FCount = new QLabel(dialog);
    FCount->setObjectName(QStringLiteral("ProgressCount"));
    FCancel = new QPushButton(QStringLiteral("İptal"), dialog);
    FCancel->setObjectName(QStringLiteral("ProgressCancel"));
    FCancel->setAccessibleName(QStringLiteral("İptal"));
    FCancel->setDefault(true);
    QObject::connect(FCancel, &QPushButton::clicked, dialog, [this] { CancelRequested(); });

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(FWhat);
    layout->addWidget(FBar);
    layout->addWidget(FCount);
    layout->addWidget(FCancel, 0, Qt::AlignRight);

    FDialog = dialog;
    dialog->show();
}

TProgressPause::TProgressPause()
{
    ++PauseDepth;
    for (TProgressDialogSink *sink : Sinks)
        if (sink->FDialog)
            sink->FDialog->hide();
}

TProgressPause::~TProgressPause()
{
    --PauseDepth;
}
