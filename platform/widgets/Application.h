#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

// Result codes of the modal boxes, as the program compares them.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// What kind of modal box is asked for.
enum class TMessageKind {
    Information, // one OK button, no icon
    Question,    // Yes and No, no icon, Yes the default
    Error        // one OK button, stop icon
};

struct TMessageBoxRequest {
    QString Text;
    QString Caption;
    TMessageKind Kind = TMessageKind::Information;
};

// The application object: the program's title, the error box, and the one
// seam through which every modal message box of the program is shown.
//
// The program shows real Qt message boxes. A test installs a handler with
// SetMessageBoxHandler: every box is then handed to it instead, and its
// result is the answer (IDOK, IDYES, IDNO). The handler may run the event
// loop before it answers, as a user would take time to read the box.
class QTranslator;

class TApplication : public QObject {
    Q_OBJECT
public:
    // exePath is the program file's path; the title is derived from it.
    explicit TApplication(const QString &exePath, QObject *parent = nullptr);
    ~TApplication() override;

    // The program file's name without its folder and without everything
    // from its first dot on: the first letter in capitals, every later one
    // in lower case ("velmora-rehber" gives "Velmora-rehber").
    QString Title() const { return FTitle; }
    static QString TitleFromExePath(const QString &exePath);

    // The seam: shows one modal box and returns the button chosen.
    int MessageBox(const QString &text, const QString &caption, TMessageKind kind);

    // An information box captioned with the title (one OK button, no icon).
    void ShowMessage(const QString &text);

    // The error box: stop icon, the title as caption, the text as the window
    // words the error (ErrorText.h) with a full stop appended when its last
    // character's code is above that of ".".
    void ShowException(const std::exception &e);
    static QString ErrorBoxText(const QString &message);

    // Runs an event handler; whatever it raises goes to the error box, so
    // that no exception unwinds through Qt's frames. True when the handler
    // ran to its end.
    bool Guard(const std::function<void()> &handler);

    // True while boxes are real windows (no test handler answers them).
    bool ShowsRealBoxes() const { return !FHandler; }

    using TMessageBoxHandler = std::function<int(const TMessageBoxRequest &)>;
    void SetMessageBoxHandler(TMessageBoxHandler handler);

    // Parent for the boxes the program shows (the main window).
    void SetMainWindow(QWidget *window) { FMainWindow = window; }
    QWidget *MainWindow() const { return FMainWindow; }

    // Windows owned by the application object and destroyed with it (the
    // dialer's status window, for one).
    void Adopt(QWidget *window);

Q_SIGNALS:
    // Emitted after every box, shown or answered by a test handler.
    void MessageBoxShown(const TMessageBoxRequest &request, int answer);

private:
    QString FTitle;
    QWidget *FMainWindow = nullptr;
    TMessageBoxHandler FHandler;
    std::vector<QWidget *> FOwned;
    std::unique_ptr<QTranslator> FQtTranslation;
};

// The program's one application object; set by TApplication's constructor.
extern TApplication *Application;

// Connects a Qt signal to an event handler through the application's guard.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection GuardedConnect(Sender *sender, Signal signal, QObject *context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler]() { Application->Guard(handler); });
}
