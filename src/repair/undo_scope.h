// What undo may write: the places Korvane's own tables name (the tweak pages,
// the restriction repairs, the computer check's rules, the Windows integration
// and the preferences). Both front ends call it once at start, before any undo.
#pragma once

namespace repair {

void AllowUndoOfKorvanesPlaces();

}  // namespace repair
