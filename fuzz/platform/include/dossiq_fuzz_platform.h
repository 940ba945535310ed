// Hooks of the native platform layer for fuzz targets.
#pragma once

// Every file or folder the parsers create or change from now on must lie below `root`
// (an absolute path); anything else aborts the process, which the fuzzer reports. Null
// lifts the restriction.
void DossiqFuzzSetWriteRoot(const char* root);
