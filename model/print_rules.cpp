#include "model/print_rules.h"

#include "model/work_kinds.h"

#include <algorithm>

namespace {

std::int16_t colliInRange(int count) {
    return static_cast<std::int16_t>(std::clamp(count, 0, 999));
}

} // namespace

bool WantsOrderForm(int pof, const std::function<bool()>& ask) {
    switch (OrderFormRuleOf(pof)) {
    case OrderFormRule::Ask:
        return ask();
    case OrderFormRule::Always:
        return true;
    case OrderFormRule::Never:
        break;
    }
    return false;
}

PrintChoice ChoosePrint(const Settings& settings, const std::optional<PackingNote>& note,
                        const PrintQuestions& ask) {
    PrintChoice choice;
    choice.orderForm = WantsOrderForm(settings.POF, ask.orderForm);
    if (settings.PCS) {
        const std::optional<int> count = ask.colliCount();
        if (!count) {
            choice.cancelled = true;
            return choice;
        }
        choice.colli = colliInRange(*count);
        return choice;
    }
    choice.colli = colliInRange(note ? note->PNCN : 0);
    return choice;
}
