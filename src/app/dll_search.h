// Where the process may load DLLs from.
#pragma once

namespace tembra {

// Nothing may ever load a DLL from the exe's folder or the current directory, where anyone who
// can write there could plant one. The static imports are all known system DLLs, loaded before
// main; this covers whatever loads later. Called first thing in the process.
void restrict_dll_search();

}  // namespace tembra
