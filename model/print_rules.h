#pragma once

#include "model/records.h"

#include <cstdint>
#include <functional>
#include <optional>

// What a print request for a note's documents carries, decided from the
// plant's settings and the worker's answers before anything is sent.

// The questions the plant's settings may ask before a print.
struct PrintQuestions {
    std::function<bool()> orderForm;                // Yes: print an order form
    std::function<std::optional<int>()> colliCount; // the number chosen; none: cancelled
};

struct PrintChoice {
    bool cancelled = false; // the worker cancelled the colli count: print nothing
    bool orderForm = false;
    std::int16_t colli = 0; // 0 to 999
};

// The order form as the plant wants it (POF: ask, always or never) and, when
// the plant asks for it (PCS), the number of colli; else the note's own
// (PNCN), never a number typed for an earlier note. The order-form question
// comes first.
PrintChoice ChoosePrint(const Settings& settings, const std::optional<PackingNote>& note,
                        const PrintQuestions& ask);

// Whether the print request asks for an order form, given POF and the question.
bool WantsOrderForm(int pof, const std::function<bool()>& ask);
