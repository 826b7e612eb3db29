// frmUsage: the hidden form that hosts the program's one reader control.
// It is never shown; loading it creates the control from the Quillet library
// with the properties the form stores (only its size).
#pragma once

#include "nodes/ProgramObjects.h"

namespace tarnwick::frmUsage {

// The component the form hosts.
inline constexpr const char* kReaderComponent = "Quillet.ucQuillet";

// Creates the reader control, held by `objects`. A missing library fails
// with Error 429.
void Load(ProgramObjects& objects);

// Destroys the reader control.
void Unload(ProgramObjects& objects);

}  // namespace tarnwick::frmUsage
