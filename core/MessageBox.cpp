#include "MessageBox.h"

#include "ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MessageResponder& Responder()
{
    static MessageResponder responder;
    return responder;
}

MsgAnswer ShowRealBox(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    // The report texts use CR LF and lone CR as line breaks; a label breaks lines on LF only.
    QString shown = request.text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    box.setIcon(request.icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (request.buttons == MsgButtons::YesNo)
        return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

} // namespace

MsgAnswer ShowMessage(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.title = title.isEmpty() ? ApplicationTitle() : title;
    if (Responder())
        return Responder()(request);
    return ShowRealBox(request);
}

void SetMessageResponder(MessageResponder responder) { Responder() = std::move(responder); }

MessageResponder CurrentMessageResponder() { return Responder(); }

ScriptedMessages::ScriptedMessages()
    : m_previous(CurrentMessageResponder())
{
    SetMessageResponder([this](const MessageRequest& request) {
        m_asked.append(request);
        if (m_hook)
            m_hook(request);
        if (!m_script.isEmpty())
            return m_script.takeFirst();
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    });
}

ScriptedMessages::~ScriptedMessages() { SetMessageResponder(m_previous); }
