#pragma once

// The exit code of a test program whose tests all skipped themselves; CTest
// reports such a program as skipped.
constexpr int kAllTestsSkipped = 77;
