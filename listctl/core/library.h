// Process-wide state of the list library: its module handle, its window
// classes, the screen resolution, the instance count with the resources the
// instances share, and the library pool.
#pragma once

#include <cstddef>
#include <cstdint>

#include "listctl/core/lbx_instance.h"
#include "platform/win/win_types.h"

namespace lindra {

using plat::win::HINSTANCE;

inline constexpr unsigned DLL_PROCESS_DETACH = 0, DLL_PROCESS_ATTACH = 1,
                          DLL_THREAD_ATTACH = 2, DLL_THREAD_DETACH = 3;

// The library's entry. Attach registers the five classes, installs the pool
// handler that answers "fail" and remembers the module (a second attach does
// nothing while it is set); it answers 0 when the list class cannot be
// registered. Detach removes the classes. Other reasons answer 1.
int LibraryEntry(HINSTANCE module, unsigned reason);

HINSTANCE libraryModule();

// The library pool, created with its first user (a list or combo instance)
// and destroyed with its last. acquirePool answers false when the pool
// cannot be made.
bool acquirePool();
void releasePool();
MemPool* libraryPool();
int poolUsers();
// How many blocks were still in use when the last user released the pool:
// anything but 0 is a record some instance never freed.
std::size_t blocksLeftInLastPool();

// The list instances alive. The first one loads the resize cursors and reads
// the screen resolution; the last one frees the cursors and the focus brush.
int liveInstances();
void countInstance();
void uncountInstance();

plat::win::HCURSOR columnBorderCursor();
plat::win::HCURSOR groupBorderCursor();
// The 8 x 8 pattern brush of focus rectangles, made when first asked for.
plat::win::HBRUSH focusPatternBrush();
bool hasFocusBrush();

// Pixels per logical inch of the screen, read at the first instance.
int pixelsPerInchX();
int pixelsPerInchY();

LRESULT ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace lindra
