#pragma once

#include <QList>
#include <QString>

#include <functional>

// Every message box of the program goes through ShowMessage. Tests install a responder that
// records what was asked and answers instead of a real box.

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation };
enum class MsgAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text; // exactly as the caller built it (CR LF and CR included)
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString title; // already resolved: the application title when the caller named none
};

using MessageResponder = std::function<MsgAnswer(const MessageRequest&)>;

// Shows a modal message box and returns the button the user pressed. An empty title means
// the application title (see ApplicationTitle()).
MsgAnswer ShowMessage(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                      const QString& title = QString());

// Replaces the real message box; an empty responder restores it.
void SetMessageResponder(MessageResponder responder);
// The responder in use (empty: the real box).
MessageResponder CurrentMessageResponder();

// Test helper: while alive, answers every message box from a script and records the requests.
// When the script runs out it answers Ok (for an OK box) or No (for a Yes/No box).
class ScriptedMessages {
public:
    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    void answer(MsgAnswer next) { m_script.append(next); }
    // Runs while a box is "open", before the answer is returned (to act inside the modal moment).
    void onAsk(std::function<void(const MessageRequest&)> hook) { m_hook = std::move(hook); }

    const QList<MessageRequest>& asked() const { return m_asked; }
    int count() const { return m_asked.size(); }
    void clear() { m_asked.clear(); }

private:
    QList<MsgAnswer> m_script;
    QList<MessageRequest> m_asked;
    std::function<void(const MessageRequest&)> m_hook;
    MessageResponder m_previous;
};
