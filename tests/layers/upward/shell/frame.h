#pragma once
#include "model/korvo_doc.h"
