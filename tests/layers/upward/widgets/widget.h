#pragma once
// A widget that reaches into the shell: the check must refuse it.
#include "shell/frame.h"
