#pragma once

struct _xsltStylesheet;

namespace norvane {

// The rg:memo element of the program's stylesheets (with extension-element-prefixes="rg"):
// its contents run once for an item, and the markup they make is written again whenever
// the same element meets the same item (every name, attribute and text of the context
// node's subtree alike) in the same compiled stylesheet: a log shown again costs no
// transformation of its items. The style vouches that the contents read nothing else
// (no position(), no variables made from the rest of the document). Kept only when the
// style writes HTML; otherwise the contents simply run. An `except` attribute names rg
// children of the item (local names, space-separated) that change more often than the
// rest, such as its mark (rg:log) and keep (rg:keep): they are left out of the key and
// kept beside the markup, so when they change the markup is made again in the place of
// the old one, instead of beside it until the cache's bound. Once per process, before
// any transformation.
void RegisterStyleMemo();

// Gives a freshly compiled stylesheet its own number, which the kept markup is filed
// under; a stylesheet without one runs its memo contents every time.
void MarkCompiledStyle(_xsltStylesheet* style);

// Drops the kept markup not written again since the last call (FragmentCache::Age).
void AgeStyleMemo();
// Drops all the kept markup.
void ClearStyleMemo();

}  // namespace norvane
