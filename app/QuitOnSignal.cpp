#include "QuitOnSignal.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A signal handler may do almost nothing: it writes a byte to a pipe, and the event loop, which
// watches the other end, does the rest.
int signalPipe[2] = {-1, -1};
// Set on the main thread once the event loop has heard of a signal.
bool signalled = false;

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool QuitOnSignals()
{
    if (signalPipe[0] >= 0)
        return true;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        signalled = true;
        // exit() rather than quit(): quit() does nothing before the main loop has started, and
        // a start-up error box runs its own loop before that.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

bool QuitSignalled()
{
    return signalled;
}

#else

bool QuitOnSignals()
{
    return false;
}

bool QuitSignalled()
{
    return false;
}

#endif
