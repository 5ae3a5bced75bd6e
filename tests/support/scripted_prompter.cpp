#include "scripted_prompter.h"

namespace {

template <typename T> T take(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T value = queue.front();
    queue.pop_front();
    return value;
}

} // namespace

int ScriptedPrompter::messageBox(const MessageBoxRequest& request) {
    Shown s{
        Kind::MessageBox, request.caption, request.text, request.icon, request.buttons, {}, {}, {}};
    shown << s;
    return take(messageAnswers, request.buttons == MessageButtons::YesNo ? int(IdYes) : int(IdOk));
}

void ScriptedPrompter::statusPopup(const QString& caption, const QString& text) {
    shown << Shown{Kind::Status, caption, text, MessageIcon::None, MessageButtons::Ok, {}, {}, {}};
}

void ScriptedPrompter::setWaitCursor(bool on) {
    waitDepth += on ? 1 : -1;
    maxWaitDepth = std::max(maxWaitDepth, waitDepth);
}

void ScriptedPrompter::setInputPanel(bool up) {
    (up ? inputPanelUps : inputPanelDowns)++;
    inputPanelUp = up;
}

DialogAnswer ScriptedPrompter::questionDialog(const QuestionRequest& request) {
    Shown s{Kind::Question,     request.title, request.body, MessageIcon::None,
            MessageButtons::Ok, request,       {},           {}};
    shown << s;
    return static_cast<DialogAnswer>(take(dialogAnswers, 1));
}

DialogAnswer ScriptedPrompter::colourMessageDialog(const QuestionRequest& request) {
    Shown s{Kind::ColourMessage, request.title, request.body, MessageIcon::None,
            MessageButtons::Ok,  request,       {},           {}};
    shown << s;
    return static_cast<DialogAnswer>(take(dialogAnswers, 1));
}

DialogAnswer ScriptedPrompter::instructionDialog(const InstructionRequest& request) {
    Shown s{Kind::Instruction,
            request.title,
            request.body,
            MessageIcon::None,
            MessageButtons::Ok,
            {},
            request,
            {}};
    shown << s;
    return static_cast<DialogAnswer>(take(dialogAnswers, 1));
}

std::optional<int> ScriptedPrompter::colliCountDialog(const ColliCountRequest& request) {
    Shown s{Kind::ColliCount,
            request.title,
            request.prompt,
            MessageIcon::None,
            MessageButtons::Ok,
            {},
            {},
            request};
    shown << s;
    const int answer = take(colliAnswers, request.initial);
    if (answer < 0) {
        return std::nullopt;
    }
    return std::clamp(answer, 0, 999);
}

bool ScriptedPrompter::passwordDialog(const PasswordRequest& request,
                                      const std::function<bool(const QString&)>& accept) {
    shown << Shown{Kind::Password,
                   request.label,
                   QString(),
                   MessageIcon::None,
                   MessageButtons::Ok,
                   {},
                   {},
                   {}};
    while (!passwords.empty()) {
        const QString typed = take(passwords, QString());
        if (accept(typed)) {
            return true;
        }
        messageBox({request.label, request.errorText, MessageIcon::None, MessageButtons::Ok});
    }
    return false;
}

QStringList ScriptedPrompter::texts(Kind kind) const {
    QStringList out;
    for (const Shown& s : shown) {
        if (s.kind == kind) {
            out << s.text;
        }
    }
    return out;
}

int ScriptedPrompter::count(Kind kind) const {
    int n = 0;
    for (const Shown& s : shown) {
        n += s.kind == kind ? 1 : 0;
    }
    return n;
}
