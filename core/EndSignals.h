#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (logging out), SIGHUP (the terminal went away) and SIGINT (Ctrl+C) as an event of
// the event loop: the handler only write()s the signal's number into a socket pair, and the
// loop reads it and emits received(), where it is safe to store what is pending and end.
// One object per process; the signals keep their default action until it exists, and get it
// back when it goes.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // False when the socket pair or the handlers could not be set up (the signals then end
    // the program as they always do).
    bool installed() const { return m_installed; }

signals:
    void received(int signalNumber);

private:
    void readSignals();

    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};
