#pragma once

// Registers the library's controls and image packs with the class registry,
// so that layouts can name them. The program calls it once at start.
void RegisterImagePackClasses();
