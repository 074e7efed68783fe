#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"

class EPrinter : public Exception {
public:
    using Exception::Exception;
};

class TPrinterCanvas;

// The system's default printer as a device to draw on. Its context is made
// on first use; a machine without a default printer raises EPrinter then.
class TPrinter {
public:
    TPrinter();
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    HDC Handle();
    TCanvas& Canvas();

private:
    std::optional<TCreatedDC> dc_;
    // Declared after the context: the canvas lets go of it first.
    std::unique_ptr<TPrinterCanvas> canvas_;
};

// The process's printer object, made on first use and destroyed at exit.
TPrinter& Printer();
