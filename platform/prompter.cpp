#include "platform/prompter.h"

#include <QtGlobal>

namespace {

// Answers every request with its first button and shows nothing: what runs when
// no user interface is attached (command-line tools, early start-up).
class SilentPrompter final : public Prompter {
public:
    int messageBox(const MessageBoxRequest& request) override {
        return request.buttons == MessageButtons::YesNo ? IdYes : IdOk;
    }
    void statusPopup(const QString&, const QString&) override {}
    void setWaitCursor(bool) override {}
    void setInputPanel(bool) override {}
    DialogAnswer questionDialog(const QuestionRequest&) override { return DialogAnswer::First; }
    DialogAnswer colourMessageDialog(const QuestionRequest&) override {
        return DialogAnswer::First;
    }
    DialogAnswer instructionDialog(const InstructionRequest&) override {
        return DialogAnswer::First;
    }
    std::optional<int> colliCountDialog(const ColliCountRequest& request) override {
        return request.initial;
    }
    bool passwordDialog(const PasswordRequest&,
                        const std::function<bool(const QString&)>&) override {
        return false;
    }
};

SilentPrompter g_silent;
Prompter* g_current = &g_silent;

} // namespace

Prompter& Prompter::current() {
    return *g_current;
}

void Prompter::setCurrent(Prompter* prompter) {
    g_current = prompter ? prompter : &g_silent;
}

ScopedPrompter::ScopedPrompter(Prompter& prompter) : previous_(&Prompter::current()) {
    Prompter::setCurrent(&prompter);
}

ScopedPrompter::~ScopedPrompter() {
    Prompter::setCurrent(previous_);
}
