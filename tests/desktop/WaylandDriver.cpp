// The program on the Wayland platform, through its real start-up: the main window shows, the Help
// menu opens, the Options dialog opens and closes, and the platform logs no warning on the way.
// Started by wayland_test.sh inside a headless compositor; exits 0 when all of that held.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <memory>

#include "app/Program.h"
#include "ui/MainForm.h"
#include "ui/OptionForm.h"

namespace {

QStringList problems;

void Record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QString category = QString::fromLatin1(context.category ? context.category : "default");
    std::fprintf(stderr, "[%s] %s\n", qPrintable(category), qPrintable(text));
    const bool platform = category.startsWith(QLatin1String("qt.qpa"));
    if (type == QtCriticalMsg || type == QtFatalMsg || (type == QtWarningMsg && platform))
        problems << category + QStringLiteral(": ") + text;
}

// Polls `done` every 50 ms for up to 10 s, then calls `next` with whether it came true.
void When(std::function<bool()> done, std::function<void(bool)> next) {
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        const bool happened = done();
        if (!happened && clock.elapsed() < 10000) return;
        timer->stop();
        timer->deleteLater();
        next(happened);
    });
    timer->start(50);
}

bool Exposed(const QWidget* widget) {
    return widget && widget->isVisible() && widget->windowHandle() && widget->windowHandle()->isExposed();
}

template <class T>
T* Named(const QObject* in, const char* name) {
    return in->findChild<T*>(QLatin1String(name));
}

void Fail(QWidget* main, const QString& why) {
    problems << why;
    main->close();
}

// The steps, each when the one before has shown on the screen.
void Drive(QWidget* main) {
    When([main] { return Exposed(main); },
         [main](bool shown) {
             if (!shown) return Fail(main, QStringLiteral("the main window was never exposed"));
             auto* menu = Named<QMenu>(main, "pmHelp");
             Named<QAbstractButton>(main, "btnHelp")->click();
             When([menu] { return Exposed(menu); },
                  [main, menu](bool opened) {
                      if (!opened) return Fail(main, QStringLiteral("the Help menu was never exposed"));
                      menu->hide();
                      // The dialog is modal: it is found and closed from inside its own event loop.
                      When(
                          [] {
                              return Exposed(
                                  qobject_cast<ui::TOptionForm*>(QApplication::activeModalWidget()));
                          },
                          [main](bool dialogShown) {
                              const QPointer<QWidget> dialog =
                                  qobject_cast<ui::TOptionForm*>(QApplication::activeModalWidget());
                              if (!dialogShown || dialog == nullptr)
                                  return Fail(main, QStringLiteral("the Options dialog was never exposed"));
                              Named<QAbstractButton>(dialog, "btnCancelMe")->click();
                              When([dialog] { return dialog == nullptr || !dialog->isVisible(); },
                                   [main](bool closed) {
                                       if (!closed)
                                           return Fail(main, QStringLiteral(
                                                                 "Cancel did not close the Options dialog"));
                                       main->close();
                                   });
                          });
                      Named<QAction>(main, "pmiOption")->trigger();
                  });
         });
}

}  // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(Record);
    QApplication application(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        std::fprintf(stderr, "FAIL: the platform is %s, not wayland\n",
                     qPrintable(QGuiApplication::platformName()));
        return 1;
    }
    const int code = app::RunProgram([](const app::TStartup&) {
        std::unique_ptr<QWidget> main = ui::CreateMainForm();
        Drive(main.get());
        return main;
    });
    for (const QString& problem : problems) std::fprintf(stderr, "FAIL: %s\n", qPrintable(problem));
    if (code != 0) std::fprintf(stderr, "FAIL: the program ended with %d\n", code);
    return problems.isEmpty() && code == 0 ? 0 : 1;
}
