#pragma once

#include <cstddef>

// How many GDI objects the process holds, for checking that readers give
// back what they make. The platform's own count where it keeps one; Wine
// answers 0 there, and then the process's GDI handle table is counted, which
// Wine keeps in the layout of Windows' table (stock objects included, which
// differences between two counts leave out).
std::size_t GdiObjectCount();
