#include "tests/support/FuzzReport.h"

#include <cstdio>

namespace {

std::string Bytes(std::size_t size)
{
    char text[32];
    if (size >= 1 << 20)
        std::snprintf(text, sizeof text, "%.1f MiB", size / 1048576.0);
    else if (size >= 1 << 10)
        std::snprintf(text, sizeof text, "%.1f KiB", size / 1024.0);
    else
        std::snprintf(text, sizeof text, "%u bytes", static_cast<unsigned>(size));
    return text;
}

} // namespace

std::string FiguresText(const TFuzzFigures& f)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "%s: %llu inputs (%llu mutants), %llu accepted, %llu refused, %llu crashes, %llu hangs, %llu over "
                  "the allocation cap, largest allocation %s",
                  f.target.c_str(), static_cast<unsigned long long>(f.inputs),
                  static_cast<unsigned long long>(f.mutants), static_cast<unsigned long long>(f.accepted),
                  static_cast<unsigned long long>(f.refused), static_cast<unsigned long long>(f.crashes),
                  static_cast<unsigned long long>(f.hangs), static_cast<unsigned long long>(f.overCap),
                  Bytes(f.largestAllocation).c_str());
    return text;
}

std::string FiguresRecord(const TFuzzFigures& f)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "fuzz-figures %s inputs=%llu mutants=%llu accepted=%llu refused=%llu crashes=%llu hangs=%llu "
                  "overcap=%llu largest=%llu",
                  f.target.c_str(), static_cast<unsigned long long>(f.inputs),
                  static_cast<unsigned long long>(f.mutants), static_cast<unsigned long long>(f.accepted),
                  static_cast<unsigned long long>(f.refused), static_cast<unsigned long long>(f.crashes),
                  static_cast<unsigned long long>(f.hangs), static_cast<unsigned long long>(f.overCap),
                  static_cast<unsigned long long>(f.largestAllocation));
    return text;
}

void PrintFigures(const TFuzzFigures& figures)
{
    std::printf("%s\n%s\n", FiguresText(figures).c_str(), FiguresRecord(figures).c_str());
    std::fflush(stdout);
}
