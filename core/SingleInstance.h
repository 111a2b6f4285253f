#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running program per user. The first start holds a lock in the user's private folder
// (in the runtime folder, where no other user can reach) for as long as it lives, and listens
// on a local socket beside it; a later start finds the lock taken, asks the running one to
// come to the front, and ends. The lock goes with the process however it ends, so a crash
// never blocks the next start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,      // this is the running instance now
        Another,    // one runs already and has been asked to show itself
        Unavailable // no private folder to hold the lock in: running without the guard
    };

    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    Role acquire();

signals:
    // A later start asked this instance to bring its window to the front.
    void activationRequested();

private:
    QString m_folder;
    int m_lock = -1;
    QLocalServer* m_server = nullptr;
};
