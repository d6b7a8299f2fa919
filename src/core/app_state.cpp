// SPDX-License-Identifier: GPL-3.0-or-later
#include "app_state.h"

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<float>::is_always_lock_free);
