#include "platform/widgets/Application.h"

#include "platform/core/Exception.h"
#include "platform/widgets/ErrorText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>
#include <utility>

TApplication *Application = nullptr;

TApplication::TApplication(const QString &exePath, QObject *parent) : QObject(parent), FTitle(TitleFromExePath(exePath))
{
    Application = this;
    // The window speaks Turkish whatever the desktop's language, Qt's own
    // dialogs and buttons too (Debian's qt6-translations-l10n).
    if (QCoreApplication::instance()) {
        FQtTranslation = std::make_unique<QTranslator>();
        if (FQtTranslation->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"), QStringLiteral("_"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(FQtTranslation.get());
    }
}

TApplication::~TApplication()
{
    // Each window leaves FOwned as it is destroyed: walk a copy.
    const std::vector<QWidget *> owned = std::exchange(FOwned, {});
    for (QWidget *w : owned)
        delete w;
    if (Application == this)
        Application = nullptr;
}

QString TApplication::TitleFromExePath(const QString &exePath)
{
    QString name = QFileInfo(exePath).fileName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString TApplication::ErrorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void TApplication::SetMessageBoxHandler(TMessageBoxHandler handler)
{
    FHandler = std::move(handler);
}

int TApplication::MessageBox(const QString &text, const QString &caption, TMessageKind kind)
{
    const TMessageBoxRequest request{text, caption, kind};
    int answer = IDOK;
    if (FHandler) {
        answer = FHandler(request);
    } else {
        QMessageBox box(FMainWindow);
        box.setWindowTitle(caption);
        // Lines of the program's texts may be separated by a carriage
        // return alone; the box shows each on its own line.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        box.setText(shown);
        box.setTextFormat(Qt::PlainText);
        switch (kind) {
        case TMessageKind::Information:
            box.setIcon(QMessageBox::NoIcon);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case TMessageKind::Question:
            box.setIcon(QMessageBox::NoIcon);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case TMessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        }
        const int result = box.exec();
        if (kind == TMessageKind::Question)
            answer = result == QMessageBox::Yes ? IDYES : IDNO;
    }
    Q_EMIT MessageBoxShown(request, answer);
    return answer;
}

void TApplication::ShowMessage(const QString &text)
{
    MessageBox(text, FTitle, TMessageKind::Information);
}

void TApplication::ShowException(const std::exception &e)
{
    MessageBox(ErrorBoxText(WindowErrorText(e)), FTitle, TMessageKind::Error);
}

bool TApplication::Guard(const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const EAbort &) {
        return false; // cancelled by the user: nothing to say
    } catch (const std::exception &e) {
        ShowException(e);
        return false;
    }
}

void TApplication::Adopt(QWidget *window)
{
    FOwned.push_back(window);
    QObject::connect(window, &QObject::destroyed, this, [this, window]() { std::erase(FOwned, window); });
}
