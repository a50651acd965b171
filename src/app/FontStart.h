#pragma once

namespace rz
{

// The font system reads its whole configuration before a process's first text can be
// measured, which takes longer than everything else the window does up to that moment.
// BeginFontStart has that done on a thread of its own, beside the window's making and the
// document's and the language's load; AwaitFontStart waits for it and is called before the
// first text is measured, so that the toolkit then finds the configuration read instead of
// reading it a second time. BeginFontStart is called once the toolkit has started: its
// start sets the process's locale, which the reading uses, and may change the environment,
// which the reading looks at; neither may change under a running thread. Without the font
// system's library in the process both do nothing.
void BeginFontStart();
void AwaitFontStart();

} // namespace rz
