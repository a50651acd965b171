#pragma once

namespace rz
{

// The font system reads its whole configuration before a process's first text can be
// measured, which takes longer than everything else the window does up to that moment.
// BeginFontStart has that done on a thread of its own, beside the toolkit's and the
// document's start; AwaitFontStart waits for it and is called before the first text is
// measured, so that the toolkit then finds the configuration read instead of reading it a
// second time. Without the font system's library in the process both do nothing.
void BeginFontStart();
void AwaitFontStart();

} // namespace rz
