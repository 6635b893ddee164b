// Creation and destruction of a list window's instance record.
#pragma once

#include "listctl/core/lbx_instance.h"
#include "platform/win/win_types.h"

namespace lindra {

// At the non-client create message: counts the instance, takes the pool,
// fills the record and makes the scroll-bar children. On any failure every
// step is undone (a refused window gets no destroy message) and the answer is
// false.
bool createInstance(HWND hwnd, const plat::win::CREATESTRUCT* cs);

// At the destroy message: frees everything the record holds, the record
// itself, and releases the instance count and the pool.
void destroyInstance(HWND hwnd);

// The record's pool blocks: the record and its five attribute records.
LbxInstance* allocRecord();

}  // namespace lindra
