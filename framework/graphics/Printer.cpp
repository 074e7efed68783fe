#include "framework/graphics/Printer.h"

#include <string>

// Draws on the printer's context, with fonts measured in its resolution.
class TPrinterCanvas : public TCanvas {
public:
    explicit TPrinterCanvas(TPrinter& printer) : printer_(printer) {}

protected:
    void CreateHandle() override
    {
        HDC dc = printer_.Handle();
        const int points = Font().Size();
        Font().SetPixelsPerInch(GetDeviceCaps(dc, LOGPIXELSY));
        Font().SetSize(points);
        SetHandle(dc);
    }

private:
    TPrinter& printer_;
};

TPrinter::TPrinter() : canvas_(std::make_unique<TPrinterCanvas>(*this)) {}

TPrinter::~TPrinter() = default;

HDC TPrinter::Handle()
{
    if (dc_)
        return dc_->Handle();
    // The default printer is recorded as "name,driver,port".
    char device[512] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    const std::string entry = device;
    const std::string name = entry.substr(0, entry.find(','));
    if (!name.empty())
        dc_.emplace(CreateDCA("WINSPOOL", name.c_str(), nullptr, nullptr));
    if (!dc_ || !*dc_) {
        dc_.reset();
        throw EPrinter("プリンタが選択されていません");
    }
    return dc_->Handle();
}

TCanvas& TPrinter::Canvas()
{
    return *canvas_;
}

TPrinter& Printer()
{
    static TPrinter printer;
    return printer;
}
